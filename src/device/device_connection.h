#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/link_layer.h"
#include "common/wall_clock.h"
#include "device/config_file_engine.h"
#include "device/device_engine.h"

namespace frosk {

class DeviceConnection;

// A device's window as the discovery engine handles it. The views make one
// over a connection; it only shows the connection and calls its engine.
class DeviceWindow {
 public:
  virtual ~DeviceWindow() = default;
  // Shows it if hidden and gives it the focus.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  // Shows the device's trends window, making it the first time.
  virtual void ShowTrends() = 0;
};

// How a device's link is doing.
enum class LinkState : uint8_t {
  kLive,          // the device answers
  kNotAnswering,  // two requests in a row got no reply, 5 s went by without a
                  // valid reply while requests were outstanding, or the port
                  // took no frame
  kLost,          // the port hung up or failed: the connection closed it
};

struct LinkHealth {
  LinkState state = LinkState::kLive;
  // The last valid reply's time; while none came, the time the link opened.
  LocalDateTime lastReply;
};

// Makes the window of a connection. It may return none or throw; the device
// then stays linked without a window.
using DeviceWindowFactory = std::function<std::unique_ptr<DeviceWindow>(DeviceConnection& connection)>;

// What a connection asks of whoever keeps it: the discovery engine in the
// desktop program, the device verbs' runner in froskctl.
class ConnectionOwner {
 public:
  // The program-wide ServiceMode setting, read at every use.
  virtual bool ServiceModeSetting() const = 0;
  // False once the owner lets no request reach its devices any more (the
  // program's exit has begun): the engine then sees its device as unlinked.
  virtual bool DevicesReachable() const = 0;
  // The engine asked to be closed. Called once the call that asked (a
  // frame's dispatch, a tick) has returned, nested questions included. The
  // owner must not destroy the connection inside this call; it closes it
  // later or at once with Close().
  virtual void CloseRequested(DeviceConnection& connection, CloseAction action) = 0;
  // A line about this connection's device for the person at the program,
  // beside the message boxes: the desktop program's status log, froskctl's
  // standard error. An owner of several connections says which device it is.
  virtual void WriteLog(DeviceConnection& connection, const std::string& line) = 0;
  // The clock of the times link health reports; the local time unless the
  // owner has its own.
  virtual const WallClock& Calendar() const;

 protected:
  ~ConnectionOwner() = default;
};

// One device on one port: its link, its engine with the value holders and
// the request engine, and its configuration files. It is the engine's one
// host: its link's frames are posted to it and dispatched to the engine, each
// decoded into a buffer of its own and validated; the owner's 100 ms tick
// reaches the engine through it; the engine's requests go out on its link.
// Faces (the device window, froskctl's verbs) hold a reference and call the
// engine's operations; none reaches the device around it.
//
// It watches its link's health (Health, HealthChanged): Live while the device
// answers; NotAnswering after two requests in a row without a reply, 5 s
// without a valid reply while requests are outstanding, or at once when the
// port would not take a frame; Live again on the next valid reply; Lost
// when the port hangs up or a write fails, which closes the link (the owner
// decides what becomes of the connection). It re-emits the engine's request
// outcomes (RequestFinished), and asks the question a tick raised once the
// tick has returned, so a device's box never stops the owner's clock.
class DeviceConnection : public QObject, private DeviceHost {
  Q_OBJECT

 public:
  // The link is opened by Open; until then, and after Close, the engine's
  // device is not linked (a window for offline configuration has such a
  // connection all its life). `links`, the seams and the owner outlive it.
  DeviceConnection(std::string portName, LinkLayer& links, const DeviceSeams& seams, ConnectionOwner& owner);
  ~DeviceConnection() override;
  DeviceConnection(const DeviceConnection&) = delete;
  DeviceConnection& operator=(const DeviceConnection&) = delete;

  // Opens the port at the controller's rate. False, with the reason in
  // `error` when given, when it did not open.
  bool Open(PortError* error = nullptr);
  // Closes the link at once; frames still on their way are dropped.
  void Close();
  bool IsOpen() const { return port_.link != nullptr; }
  const LinkHealth& Health() const { return health_; }
  const std::string& PortName() const { return port_.portName; }
  bool ServiceModeSetting() const override { return owner_.ServiceModeSetting(); }

  DeviceEngine& Engine() { return engine_; }
  const DeviceEngine& Engine() const { return engine_; }
  ConfigFileEngine& ConfigFiles() { return configFiles_; }

  // The owner's 100 ms tick.
  void Tick();
  // True while a tick, a frame's dispatch or a question the engine asks is
  // on the stack: the connection must not be destroyed now.
  bool InCall() const { return callDepth_ > 0; }

  // Ends a connection: closes its link at once and destroys it together with
  // its window (the window first), now or, while one of its calls is on the
  // stack, as soon as the outermost one has returned.
  static void Dispose(std::unique_ptr<DeviceConnection> connection, std::unique_ptr<DeviceWindow> window);

 signals:
  // After every tick, for faces that follow the clock (a blinking panel).
  void Ticked();
  // Once per change of Health().state.
  void HealthChanged(const frosk::LinkHealth& health);
  // Every write when it ends, applied or not, and every request that got no
  // reply (DeviceEngine::SetRequestListener).
  void RequestFinished(const frosk::RequestOutcome& outcome);

 protected:
  bool event(QEvent* event) override;

 private:
  // Counts the questions the engine asks: each runs a nested event loop in
  // which anything, a close of this connection included, may happen.
  class CountedPrompter : public Prompter {
   public:
    CountedPrompter(DeviceConnection& connection, Prompter& prompter) : connection_(connection), prompter_(prompter) {}
    int ShowMessageBox(const std::string& text, unsigned flags) override;
    // The offer gets the connection's port, which the engine does not know.
    int AskToProgramFirmware(const std::string& text, unsigned flags, const FirmwareOffer& offer) override;
    int AskToCheckForUpdates(const std::string& text, unsigned flags) override;
    std::optional<std::string> AskOpenFileName(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFileName(const FileDialogRequest& request) override;
    std::optional<std::string> AskFolder(const std::string& current) override;

   private:
    DeviceConnection& connection_;
    Prompter& prompter_;
  };
  class Call;

  // DeviceHost
  bool SendToDevice(DeviceEngine& device, const uint8_t* item) override;
  bool IsDeviceLinked(const DeviceEngine& device) const override;
  void RequestClose(DeviceEngine& device, CloseAction action) override;
  void WriteLog(const std::string& line) override { owner_.WriteLog(*this, line); }

  void Returned();
  // Link health: a request went out; a valid frame came; the port ended.
  void RequestOut();
  void ReplyArrived();
  void PortFailed();
  void CheckAnswering();
  void ChangeHealth(LinkState state);
  void AskHeldQuestionLater();

  LinkLayer& links_;
  ConnectionOwner& owner_;
  const TickClock& clock_;
  PortSettings port_;
  LinkHealth health_;
  // The first request sent since the last valid reply, while one was.
  std::optional<uint32_t> unansweredSince_;
  int unansweredInARow_ = 0;
  // The request in flight was already counted without a reply (the port did
  // not take it); its time-out does not count it again.
  bool inFlightCounted_ = false;
  bool questionPosted_ = false;
  int callDepth_ = 0;
  std::optional<CloseAction> closeRequest_;
  // Set by Dispose while a call is on the stack: the window that goes with it.
  std::optional<std::unique_ptr<DeviceWindow>> disposed_;
  CountedPrompter prompter_;
  DeviceEngine engine_;
  ConfigFileEngine configFiles_;
};

}  // namespace frosk
