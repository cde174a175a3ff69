#include "device/view_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "device/field_display.h"
#include "protocol/catalogue.h"

namespace frosk {

namespace {

// The input masks of the serial and date fields: nine required digits, "-"
// and two optional characters; four, two and two required digits with "-"
// between; "_" marks a place not yet filled.
const QString kSerialMask = QStringLiteral("999999999-xx;_");
const QString kDateMask = QStringLiteral("9999-99-99;_");

const QColor kReadOnlyBase{240, 240, 240};

QTreeWidgetItem* TreeItem(const ItemTreeNode& node) {
  auto* item = new QTreeWidgetItem(QStringList{Text(node.text)});
  for (const ItemTreeNode& child : node.children) item->addChild(TreeItem(child));
  return item;
}

const char* Ending(FieldKind kind) {
  switch (kind) {
    case FieldKind::kSerial:
    case FieldKind::kDate: return "MaskEdit";
    case FieldKind::kChoice: return "ComboBox";
    case FieldKind::kTick: return "CheckBox";
    case FieldKind::kOnOff: return "Panel";
    default: return "Edit";
  }
}

bool IsEdit(FieldKind kind) {
  return kind != FieldKind::kChoice && kind != FieldKind::kTick && kind != FieldKind::kOnOff;
}

}  // namespace

size_t AppendItemNodes(QTreeWidget* view, std::span<const ItemTreeNode> nodes, size_t from) {
  if (from >= nodes.size()) return nodes.size();
  QList<QTreeWidgetItem*> items;
  for (size_t i = from; i < nodes.size(); ++i) items << TreeItem(nodes[i]);
  view->addTopLevelItems(items);
  return nodes.size();
}

// --- Fields -----------------------------------------------------------------------

QLineEdit* FieldControl::Edit() const { return IsEdit(kind) ? static_cast<QLineEdit*>(widget) : nullptr; }

QComboBox* FieldControl::Choice() const {
  return kind == FieldKind::kChoice ? static_cast<QComboBox*>(widget) : nullptr;
}

QCheckBox* FieldControl::Tick() const { return kind == FieldKind::kTick ? static_cast<QCheckBox*>(widget) : nullptr; }

QString FieldControlName(const QString& prefix, Key field, FieldKind kind) {
  return FieldControlName(prefix, field, Ending(kind));
}

QString FieldControlName(const QString& prefix, Key field, const char* ending) {
  const ContainerSpec* container = nullptr;
  const FieldSpec* info = FindField(field, &container);
  QString name = prefix;
  if (info != nullptr && container != nullptr) {
    const QString words = Text(std::string(info->name.substr(container->name.size() + 1)));
    for (const QString& word : words.split('_', Qt::SkipEmptyParts)) name += word.left(1) + word.mid(1).toLower();
  }
  return name + QString::fromLatin1(ending);
}

FieldControl MakeFieldControl(QWidget* parent, const QString& name, Key field, FieldKind kind, const QRect& geometry,
                              const QStringList& choices) {
  QWidget* widget = nullptr;
  switch (kind) {
    case FieldKind::kChoice: {
      auto* list = new QComboBox(parent);
      list->addItems(choices);
      widget = list;
      break;
    }
    case FieldKind::kTick: widget = new QCheckBox(parent); break;
    case FieldKind::kOnOff: {
      auto* panel = new QLabel(parent);
      panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      panel->setAlignment(Qt::AlignCenter);
      panel->setAutoFillBackground(true);
      SetColour(panel, QPalette::Window, kReadOnlyBase);
      widget = panel;
      break;
    }
    default: {
      auto* edit = new QLineEdit(parent);
      if (kind == FieldKind::kSerial) edit->setInputMask(kSerialMask);
      if (kind == FieldKind::kDate) edit->setInputMask(kDateMask);
      if (kind == FieldKind::kReadOnly || kind == FieldKind::kThAdc) {
        edit->setReadOnly(true);
        SetColour(edit, QPalette::Base, kReadOnlyBase);
      }
      // A text longer than its buffer would be cut when sent.
      if (const FieldSpec* info = FindField(field); info != nullptr && info->Type() == kCStr)
        edit->setMaxLength(info->cstrSize - 1);
      widget = edit;
      break;
    }
  }
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return {field, kind, widget, {}};
}

void ShowField(FieldControl& control, const VFroskClass& holder) {
  switch (control.kind) {
    case FieldKind::kChoice: {
      QComboBox* list = control.Choice();
      const int index = holder.GetAsInt() < list->count() ? holder.GetAsInt() : -1;
      if (list->currentIndex() != index) list->setCurrentIndex(index);
      return;
    }
    case FieldKind::kTick: SetChecked(control.Tick(), holder.GetAsInt() != 0); return;
    case FieldKind::kOnOff:
      SetText(static_cast<QLabel*>(control.widget),
              holder.GetAsInt() != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"));
      return;
    default: break;
  }
  QLineEdit* edit = control.Edit();
  if (edit->hasFocus() && edit->text() != control.shown) return;
  const QString text = Text(control.kind == FieldKind::kSerial  ? SerialFieldText(holder)
                            : control.kind == FieldKind::kThAdc ? ThAdcText(holder)
                                                                : holder.ValueToText());
  // A mask shows its unfilled places, which the text leaves out.
  if (edit->displayText() != text) edit->setText(text);
  control.shown = edit->text();
}

bool TakeFieldText(const FieldControl& control, VFroskClass& holder) {
  const QLineEdit* edit = control.Edit();
  if (edit == nullptr || edit->isReadOnly() || edit->text() == control.shown) return false;
  const std::string text = edit->text().toStdString();
  if (!edit->hasAcceptableInput() || !FieldEntryIsPossible(holder, text)) return false;
  holder.SetFromText(text);
  return true;
}

// --- Leaving an edit ------------------------------------------------------------------

EditExitWatcher::EditExitWatcher(std::function<void(QLineEdit*)> leave) : leave_(std::move(leave)) {}

void EditExitWatcher::Watch(QLineEdit* edit) { edit->installEventFilter(this); }

bool EditExitWatcher::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = static_cast<QLineEdit*>(watched);
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    leave_(edit);
    return true;
  }
  // A message box or another window taking over leaves the edit where it is.
  if (event->type() == QEvent::FocusOut) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) leave_(edit);
  }
  return false;
}

}  // namespace frosk
