#include "settings/com_ports_select_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "common/form_basics.h"

namespace frosk {

namespace {

constexpr int kWidth = 468;
constexpr int kHeight = 358;
// The boxes stand in four columns of eight.
constexpr int kRowsPerColumn = 8;
constexpr int kColumns = 4;
constexpr int kLeft = 20;
constexpr int kColumnStep = 108;
constexpr int kTop = 16;
constexpr int kRowStep = 24;
constexpr int kBoxWidth = 97;
constexpr int kBoxHeight = 17;

QString ComLabel(int number) { return QStringLiteral("COM%1").arg(number); }

bool MatchesBox(const std::string& name, int number) {
  return QString::fromStdString(name).compare(ComLabel(number), Qt::CaseInsensitive) == 0;
}

bool MatchesAnyBox(const std::string& name) {
  for (int number = 1; number <= TComPortsSelectForm::kComBoxCount; ++number)
    if (MatchesBox(name, number)) return true;
  return false;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TComPortsSelectForm::TComPortsSelectForm(PortLister listPorts, QWidget* parent)
    : QDialog(parent), listPorts_(std::move(listPorts)) {
  BuildLayout();
  FormCreate();
}

void TComPortsSelectForm::BuildLayout() {
  setObjectName(QStringLiteral("ComPortsSelectForm"));
  setWindowTitle(QStringLiteral("Select Com Ports"));
  setFont(UiFont(13));
  setFixedSize(kWidth, kHeight);

  QLabel* header = NewHeaderPanel(QStringLiteral("Com Ports"), this);
  header->setObjectName(QStringLiteral("HeaderPanel"));

  // The boxes lie at fixed places; the boxes of other ports extend the panel,
  // which then scrolls.
  boxPanel_ = new QWidget;
  boxPanel_->setObjectName(QStringLiteral("ClientPanel"));
  auto* scroller = new QScrollArea(this);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroller->setWidget(boxPanel_);
  scroller->setWidgetResizable(false);

  auto* checkAvailable = new QPushButton(QStringLiteral("Check Available Ports"), this);
  checkAvailable->setObjectName(QStringLiteral("CheckAvailableBtn"));
  connect(checkAvailable, &QPushButton::clicked, this, &TComPortsSelectForm::CheckAvailableBtnClick);
  auto* checkRow = new QHBoxLayout;
  checkRow->setContentsMargins(kLeft, 0, kLeft, 4);
  checkRow->addWidget(checkAvailable);
  checkRow->addStretch();

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OkBtn"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TComPortsSelectForm::OkBtnClick);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelBtn"));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* bottom = new QFrame(this);
  bottom->setObjectName(QStringLiteral("BottomPanel"));
  bottom->setFrameShape(QFrame::StyledPanel);
  auto* buttons = new QHBoxLayout(bottom);
  buttons->setContentsMargins(12, 6, 12, 6);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(header);
  column->addWidget(scroller, 1);
  column->addLayout(checkRow);
  column->addWidget(bottom);
}

void TComPortsSelectForm::FormCreate() {
  selectedPorts_.clear();
  for (int i = 0; i < kComBoxCount; ++i) {
    auto* box = new QCheckBox(ComLabel(i + 1), boxPanel_);
    box->setObjectName(QStringLiteral("Com%1CheckBox").arg(i + 1, 2, 10, QLatin1Char('0')));
    box->setGeometry(kLeft + (i / kRowsPerColumn) * kColumnStep, kTop + (i % kRowsPerColumn) * kRowStep, kBoxWidth,
                     kBoxHeight);
    comBoxes_[size_t(i)] = box;
  }
  PlaceExtraBoxes();
}

void TComPortsSelectForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

// The selected names come first, then those only the system lists.
void TComPortsSelectForm::FormShow() {
  RemoveExtraBoxes();
  AddExtraBoxes(selectedPorts_);
  std::vector<std::string> listed;
  listPorts_(&listed);
  AddExtraBoxes(listed);
  TickSelected();
}

void TComPortsSelectForm::CheckAvailableBtnClick() {
  selectedPorts_.clear();
  listPorts_(&selectedPorts_);
  AddExtraBoxes(selectedPorts_);
  TickSelected();
}

void TComPortsSelectForm::OkBtnClick() {
  selectedPorts_.clear();
  for (const QCheckBox* box : comBoxes_)
    if (box->isChecked()) selectedPorts_.push_back(box->text().toStdString());
  for (const QCheckBox* box : extraBoxes_)
    if (box->isChecked()) selectedPorts_.push_back(box->toolTip().toStdString());
  accept();
}

void TComPortsSelectForm::TickSelected() {
  for (int i = 0; i < kComBoxCount; ++i) {
    const bool selected = std::any_of(selectedPorts_.begin(), selectedPorts_.end(),
                                      [&](const std::string& name) { return MatchesBox(name, i + 1); });
    comBoxes_[size_t(i)]->setChecked(selected);
  }
  for (QCheckBox* box : extraBoxes_) box->setChecked(Contains(selectedPorts_, box->toolTip().toStdString()));
}

void TComPortsSelectForm::RemoveExtraBoxes() {
  for (QCheckBox* box : extraBoxes_) delete box;
  extraBoxes_.clear();
}

// An extra box keeps the port's full name in its tool tip, since a long
// device path is shortened on the box.
void TComPortsSelectForm::AddExtraBoxes(const std::vector<std::string>& names) {
  bool added = false;
  for (const std::string& name : names) {
    if (name.empty() || MatchesAnyBox(name)) continue;
    const QString shownName = QString::fromStdString(name);
    if (std::any_of(extraBoxes_.begin(), extraBoxes_.end(),
                    [&](const QCheckBox* box) { return box->toolTip() == shownName; }))
      continue;
    auto* box = new QCheckBox(shownName, boxPanel_);
    box->setObjectName(QStringLiteral("PortCheckBox"));
    box->setToolTip(shownName);
    box->show();
    extraBoxes_.push_back(box);
    added = true;
  }
  if (added) PlaceExtraBoxes();
}

// The extra boxes follow the COM boxes row by row, each as many columns wide
// as its name needs; a name wider than a row is shortened in the middle.
void TComPortsSelectForm::PlaceExtraBoxes() {
  const int rowWidth = (kColumns - 1) * kColumnStep + kBoxWidth;
  int row = kRowsPerColumn;
  int column = 0;
  for (QCheckBox* box : extraBoxes_) {
    const QString name = box->toolTip();
    const int indicatorWidth = box->sizeHint().width() - box->fontMetrics().horizontalAdvance(box->text());
    const int needed = indicatorWidth + box->fontMetrics().horizontalAdvance(name);
    const int span = std::min(kColumns, 1 + std::max(0, needed - kBoxWidth + kColumnStep - 1) / kColumnStep);
    if (column + span > kColumns) {
      ++row;
      column = 0;
    }
    box->setText(box->fontMetrics().elidedText(name, Qt::ElideMiddle, rowWidth - indicatorWidth));
    box->setGeometry(kLeft + column * kColumnStep, kTop + row * kRowStep, (span - 1) * kColumnStep + kBoxWidth,
                     kBoxHeight);
    column += span;
  }
  const int lastRow = extraBoxes_.empty() ? kRowsPerColumn - 1 : row;
  boxPanel_->setFixedSize(kLeft + rowWidth + kLeft / 2, kTop + lastRow * kRowStep + kBoxHeight + kTop / 2);
}

}  // namespace frosk
