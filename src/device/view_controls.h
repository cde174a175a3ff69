#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <span>
#include <string>

#include "common/form_basics.h"
#include "protocol/item_tree.h"
#include "protocol/vfrosk_class.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTreeWidget;
class QWidget;

namespace frosk {

// The field controls of the device window's engineering pages, over the
// controls every window is made of (common/form_basics.h).

// Adds nodes[from...] with their children as top-level items of a tree view.
// Returns the number of nodes the view then shows.
size_t AppendItemNodes(QTreeWidget* view, std::span<const ItemTreeNode> nodes, size_t from);

// How a field's control shows its holder.
enum class FieldKind : uint8_t {
  kEdit,      // the holder's text; what is typed goes back through SetFromText
  kReadOnly,  // the holder's text only
  kSerial,    // nine digits, "-" and two places, as SerialFieldText shows it
  kDate,      // "yyyy-mm-dd"
  kChoice,    // a list whose item index is the value
  kTick,      // a tick box for a bool
  kOnOff,     // a panel that reads "ON" or "OFF"
  kThAdc,     // read-only: ThAdcText
};

// One field of the service view or the configurator: the control that shows
// whichever holder its page picks at the moment, and takes the user's entry
// back into it.
struct FieldControl {
  Key field;
  FieldKind kind;
  QWidget* widget;
  // An edit's text as the last refresh left it: text typed since differs.
  QString shown;

  QLineEdit* Edit() const;  // null for a list, a tick box or a panel
  QComboBox* Choice() const;
  QCheckBox* Tick() const;
};

// The control's name: the page's prefix, the field's name in CamelCase
// without its container's name, and the kind's ending, e.g.
// "FroskTecMonitor" + FROSKTEC_MONITOR_TH_ADC gives "FroskTecMonitorThAdcEdit",
// "CModuleParamsUserMin" + MODULE_BASIC_PARAMS_I_TEC_MAX gives
// "CModuleParamsUserMinITecMaxEdit".
QString FieldControlName(const QString& prefix, Key field, FieldKind kind);
// The same with any ending: "Label", "ULabel", "Shape".
QString FieldControlName(const QString& prefix, Key field, const char* ending);
// A field's control with that name. A list gets `choices` as its items.
FieldControl MakeFieldControl(QWidget* parent, const QString& name, Key field, FieldKind kind, const QRect& geometry,
                              const QStringList& choices = {});
// Shows the holder. An edit the user is typing in keeps the user's text.
void ShowField(FieldControl& control, const VFroskClass& holder);
// An edit's text into the holder: only text the user changed since the last
// refresh, and for a serial or a date only a whole, possible one (an
// incomplete or impossible entry changes nothing and the refresh shows the
// holder again). True when the holder took it.
bool TakeFieldText(const FieldControl& control, VFroskClass& holder);

// Calls `leave` for a watched edit when it loses the focus to another control
// of the program, and on Enter, which acts as leaving the edit instead of
// pressing the dialog's default button. Its owner keeps it as a member, so it
// goes before the owner's controls: an edit that loses the focus as it is
// destroyed must not reach a handler whose controls are already gone.
class EditExitWatcher : public QObject {
 public:
  explicit EditExitWatcher(std::function<void(QLineEdit*)> leave);
  void Watch(QLineEdit* edit);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(QLineEdit*)> leave_;
};

}  // namespace frosk
