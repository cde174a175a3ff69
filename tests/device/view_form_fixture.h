// A device window over a controller the test plays: the window is made with
// the program's seams replaced, shown, and read to its end.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "engine_fixture.h"
#include "protocol/item.h"

namespace frosk::test {

using namespace key;

// User sets with a band around them, for the controller's module and the VELTRA module.
inline constexpr ModuleBasicParamsRecord kBasicDefault{1, 10000, -10000, 1, 0, 0, 4000, 240000};
inline constexpr ModuleBasicParamsRecord kBasicSet{1, 12000, -8000, 0, 0, 0, 5000, 230000};
inline constexpr ModuleBasicParamsRecord kBasicMin{1, 5000, -12000, 0, 0, 0, 1000, 200000};
inline constexpr ModuleBasicParamsRecord kBasicMax{2, 14000, -5000, 2, 2, 0, 10000, 260000};
inline constexpr ModuleVeltraParamsRecord kVeltraDefault{128, 128, 56, 128, 2048, 0, 0, 1};
inline constexpr ModuleVeltraParamsRecord kVeltraSet{100, 128, 64, 128, 2048, 0, 1, 1};
inline constexpr ModuleVeltraParamsRecord kVeltraMin{0, 0, 48, 0, 0, 0, 0, 0};
inline constexpr ModuleVeltraParamsRecord kVeltraMax{256, 256, 99, 256, 4095, 1, 1, 2};

class FroskTecViewFormTest : public ::testing::Test {
 protected:
  FroskTecViewFormTest() : folders_((dir_.Write("firmware/Kaz.info", "FirmVer=5\n"), Folders::Beside(dir_.Path()))) {}

  // A window for a controller with this module, shown and read to its end.
  void Open(int moduleType, const std::function<void(FakeDevice&)>& prepare = {}) {
    device_ = std::make_unique<FakeDevice>(moduleType);
    for (int group : {0, 4}) {
      device_->Hold(SlotOf(kBasicParamsGroups[group]).get, ReplyItem(kBasicDefault));
      device_->Hold(SlotOf(kBasicParamsGroups[group + 1]).get, ReplyItem(kBasicSet));
      device_->Hold(SlotOf(kBasicParamsGroups[group + 2]).get, ReplyItem(kBasicMin));
      device_->Hold(SlotOf(kBasicParamsGroups[group + 3]).get, ReplyItem(kBasicMax));
    }
    device_->Hold(GET_MODULE_VELTRA_DEFAULT, ReplyItem(kVeltraDefault));
    device_->Hold(GET_MODULE_VELTRA_USER_SET, ReplyItem(kVeltraSet));
    device_->Hold(GET_MODULE_VELTRA_USER_MIN, ReplyItem(kVeltraMin));
    device_->Hold(GET_MODULE_VELTRA_USER_MAX, ReplyItem(kVeltraMax));
    std::strcpy(device_->moduleIden.name, "KAZ-7");
    device_->monitor.supOn = 1;
    device_->monitor.fanOn = 1;
    if (prepare) prepare(*device_);
    form_.reset();  // a window goes before the connection it shows
    connection_ = std::make_unique<DeviceConnection>("ttyFAKE0", host_, seams_, host_);
    connection_->Open();
    form_ = std::make_unique<TFroskTecViewForm>(*connection_, shared_);
    form_->show();
    ReadToEnd();
    ASSERT_TRUE(Engine().ViewReady());
    TakeSent();
  }

  // Ticks and answers until the reading sequence under way has ended.
  void ReadToEnd() {
    for (int i = 0; i < 40 && !(Engine().SequenceState() == SequenceState::kIdle && !Engine().Waiting()); ++i) {
      connection_->Tick();
      if (Engine().Waiting()) AnswerLast();
    }
  }

  DeviceEngine& Engine() { return form_->Engine(); }

  void AnswerLast() {
    clock_.Advance(10);
    const std::vector<uint8_t> reply = device_->Answer(host_.sent.back());
    host_.Deliver(*connection_, reply.data());
  }
  // One automatic monitor poll, answered.
  void Poll() {
    clock_.Advance(100);
    connection_->Tick();
    ASSERT_TRUE(Engine().Waiting());
    AnswerLast();
  }
  // The requests sent since the last call.
  std::vector<std::vector<uint8_t>> TakeSent() {
    std::vector<std::vector<uint8_t>> sent(host_.sent.begin() + static_cast<std::ptrdiff_t>(taken_), host_.sent.end());
    taken_ = host_.sent.size();
    return sent;
  }
  std::vector<Key> TakeSentKeys() {
    std::vector<Key> keys;
    for (const auto& item : TakeSent()) keys.push_back(ItemKey(item.data()));
    return keys;
  }

  template <class T>
  T* Find(const char* name) {
    T* widget = form_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* name) { return Find<QLabel>(name)->text(); }
  QColor TextColour(const char* name) { return Find<QWidget>(name)->palette().color(QPalette::WindowText); }
  QColor Background(const char* name) { return Find<QWidget>(name)->palette().color(QPalette::Window); }
  bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
  QString EditText(const char* name) { return Find<QLineEdit>(name)->text(); }
  // Types a whole new text into an edit and leaves it with Enter.
  void TypeInto(const char* name, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(name);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void SetControllerServiceMode(bool on) {
    Engine().ServiceMode().At(SERVICE_MODE_ENABLE).SetFromInt(on ? 1 : 0);
    form_->FormShow();
  }

  TempDir dir_;
  Folders folders_;
  ManualTickClock clock_{1000};
  ScriptedPrompter prompter_;
  CountingBeeper beeper_;
  DeviceSeams seams_{clock_, prompter_, beeper_, folders_};
  Settings settings_;
  FakeConnectionHost host_{settings_};
  TEnterValueForm dialog_{prompter_};
  TEnterSerialForm serialDialog_;
  FixedWallClock wall_{{2026, 3, 14, 9, 0, 0}};
  DeviceWindowShared shared_{dialog_, serialDialog_, wall_, settings_};
  std::unique_ptr<FakeDevice> device_;
  std::unique_ptr<DeviceConnection> connection_;
  std::unique_ptr<TFroskTecViewForm> form_;
  size_t taken_ = 0;
};

}  // namespace frosk::test
