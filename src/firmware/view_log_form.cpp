#include "firmware/view_log_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/form_basics.h"

namespace frosk {

TViewLogForm::TViewLogForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("View Log"));
  setFont(UiFont(13));
  resize(560, 400);

  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName(QStringLiteral("Memo"));
  memo_->setReadOnly(true);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The tool lines its output up in columns (progress bars, byte counts).
  memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);

  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("CloseBtn"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addWidget(memo_);
  column->addLayout(buttons);
}

// The tool may end lines the DOS way, or redraw a line with a lone "\r".
void TViewLogForm::SetLog(const std::string& log) {
  QString text = QString::fromUtf8(log);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace('\r', '\n');
  memo_->setPlainText(text);
}

}  // namespace frosk
