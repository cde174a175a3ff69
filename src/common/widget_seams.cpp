#include "common/widget_seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace frosk {

namespace {

const QString kCaption = QStringLiteral("Frosk Manager");

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & mb::kIconMask) {
    case mb::kIconStop: return QMessageBox::Critical;
    case mb::kIconQuestion: return QMessageBox::Question;
    case mb::kIconWarning: return QMessageBox::Warning;
    case mb::kIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// The first button is the default one, and closing the box without a button
// (Escape, the close box) counts as its negative answer.
struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton first;
  int whenDismissed;
};

ButtonSet ButtonsOf(unsigned flags) {
  switch (flags & mb::kButtonMask) {
    case mb::kOkCancel: return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, kIdCancel};
    case mb::kYesNo: return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, kIdNo};
    default: return {QMessageBox::Ok, QMessageBox::Ok, kIdOk};
  }
}

int ResultOf(int button, int whenDismissed) {
  switch (button) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Cancel: return kIdCancel;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return whenDismissed;
  }
}

std::optional<std::string> RunFileDialog(const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(QApplication::activeWindow(), kCaption);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilter(QtFileFilter(request.filter));
  QString suffix = QString::fromStdString(request.defaultExtension);
  if (suffix.startsWith('.')) suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

// A well-formed http or https address with a host: the desktop opens it in a
// browser, never as a file or a program.
bool IsWebPage(const QUrl& address) {
  if (!address.isValid() || address.host().isEmpty()) return false;
  return address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https");
}

}  // namespace

QString MessageText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace('\r', '\n');
  return shown;
}

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
  }
  return filters.join(QStringLiteral(";;"));
}

int MessageBoxPrompter::ShowMessageBox(const std::string& text, unsigned flags) {
  const ButtonSet set = ButtonsOf(flags);
  QMessageBox box(IconOf(flags), kCaption, MessageText(text), set.buttons, QApplication::activeWindow());
  // Device and server texts reach these boxes; they are never markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(set.first);
  return ResultOf(box.exec(), set.whenDismissed);
}

std::optional<std::string> MessageBoxPrompter::AskOpenFileName(const FileDialogRequest& request) {
  return RunFileDialog(request, QFileDialog::AcceptOpen);
}

std::optional<std::string> MessageBoxPrompter::AskSaveFileName(const FileDialogRequest& request) {
  return RunFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<std::string> MessageBoxPrompter::AskFolder(const std::string& current) {
  const QString folder =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), kCaption, QString::fromStdString(current));
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

void ApplicationBeeper::Beep() { QApplication::beep(); }

void DesktopUrlOpener::Open(const std::string& url) {
  const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
  if (IsWebPage(address)) QDesktopServices::openUrl(address);
}

}  // namespace frosk
