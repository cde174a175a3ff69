#include "device/device_engine.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace frosk::test {
namespace {

using namespace key;

TEST_F(EngineTest, TheReadingSequenceAsksForEverythingTheModuleHolds) {
  struct Case {
    int moduleType;
    size_t requests;
  } cases[] = {{0, 9}, {1, 9}, {2, 14}, {3, 19}};
  for (const Case& c : cases) {
    FakeHost host;
    DeviceEngine engine(host, DeviceSeams{clock_, prompter_, beeper_, folders_});
    FakeDevice device(c.moduleType);
    engine.SetDeviceMonitorAuto(false);
    engine.SetModuleMonitorAuto(false);
    for (int i = 0; i < 30; ++i) {
      engine.Tick();
      if (!engine.Waiting()) break;
      engine.ReceiveItem(device.Answer(host.sent.back()).data());
    }
    EXPECT_EQ(host.SentKeys(), ReadingSequence(c.moduleType)) << c.moduleType;
    EXPECT_EQ(host.sent.size(), c.requests);
    EXPECT_EQ(engine.SequenceState(), SequenceState::kIdle);
    EXPECT_EQ(engine.ModuleTypeSnapshot(), c.moduleType);
  }
  EXPECT_TRUE(prompter_.shown.empty());
}

// A reply of the given container whose record carries the tag in one field.
std::vector<uint8_t> TaggedReply(Key container, uint16_t tag) {
  switch (container) {
    case MODULE_IDEN: {
      ModuleIdenRecord record{};
      record.firmVer = tag;
      return ReplyItem(record);
    }
    case MODULE_BASIC_PARAMS: {
      ModuleBasicParamsRecord record{};
      record.pwm = tag;
      return ReplyItem(record);
    }
    case MODULE_VELTRA_PARAMS: {
      ModuleVeltraParamsRecord record{};
      record.detU = tag;
      return ReplyItem(record);
    }
    case FROSKTEC_MONITOR: {
      FroskTecMonitorRecord record{};
      record.pwm = tag;
      return ReplyItem(record);
    }
    default: return {static_cast<uint8_t>(container >> 8), static_cast<uint8_t>(container), 0, 4};
  }
}

TEST_F(EngineTest, RepliesGoToTheGroupTheirRequestNames) {
  struct Case {
    Key request;
    Key reply;
    std::optional<Group> stored;
  } cases[] = {
      {GET_FROSKTEC_MOD_NO_MEM_IDEN, MODULE_IDEN, Group::kNoMemModuleIden},
      {SET_FROSKTEC_MOD_NO_MEM_IDEN, MODULE_IDEN, Group::kNoMemModuleIden},
      {GET_MODULE_IDEN, MODULE_IDEN, Group::kModuleIden},
      {GET_DEVICE_IDEN, MODULE_IDEN, Group::kModuleIden},
      {SET_FROSKTEC_MOD_NO_MEM_DEFAULT, MODULE_BASIC_PARAMS, Group::kNoMemDefault},
      {GET_FROSKTEC_MOD_NO_MEM_USER_MAX, MODULE_BASIC_PARAMS, Group::kNoMemUserMax},
      {GET_MODULE_DEFAULT, MODULE_BASIC_PARAMS, Group::kModuleDefault},
      {SET_MODULE_USER_SET, MODULE_BASIC_PARAMS, Group::kModuleUserSet},
      {SET_MODULE_USER_MAX, MODULE_BASIC_PARAMS, Group::kModuleUserMax},
      {GET_FROSKTEC_MONITOR, MODULE_BASIC_PARAMS, std::nullopt},
      {GET_MODULE_VELTRA_DEFAULT, MODULE_VELTRA_PARAMS, Group::kVeltraDefault},
      {SET_MODULE_VELTRA_USER_SET, MODULE_VELTRA_PARAMS, Group::kVeltraUserSet},
      {LOAD_MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS, Group::kVeltraUserSet},
      {STORE_MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS, Group::kVeltraUserSet},
      {GET_MODULE_VELTRA_USER_MIN, MODULE_VELTRA_PARAMS, Group::kVeltraUserMin},
      {GET_MODULE_USER_SET, MODULE_VELTRA_PARAMS, std::nullopt},
      {GET_SERVICE_MODE, FROSKTEC_MONITOR, Group::kFroskTecMonitor},
      {GET_SERVICE_MODE, MODULE_USER_SET_BANK, std::nullopt},
      {GET_SERVICE_MODE, 0x7770, std::nullopt},
  };
  engine_.Break();
  GroupMask seen = 0;
  engine_.AddRefreshListener([&seen](GroupMask stored) { seen |= stored; });
  for (const Case& c : cases) {
    engine_.SendRequest(c.request);
    seen = 0;
    Receive(TaggedReply(c.reply, c.request));
    engine_.Break();  // a reply of another container leaves its request in flight
    if (!c.stored) {
      EXPECT_EQ(seen, 0u) << std::hex << c.request;
      continue;
    }
    EXPECT_EQ(seen, GroupBit(*c.stored)) << std::hex << c.request;
    // The group shows which reply it holds by the tag.
    const auto holders = engine_.Holders(*c.stored);
    const VFroskClass& tag = c.reply == MODULE_BASIC_PARAMS ? holders[5]
                             : c.reply == FROSKTEC_MONITOR  ? holders[11]
                             : c.reply == MODULE_IDEN       ? holders[1]
                                                            : holders[0];
    EXPECT_EQ(tag.GetAsInt(), c.request) << std::hex << c.request;
  }
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
}

// A request made while others wait goes behind them, even in the moment
// between a reply and the tick that sends the next; a newer SET of a key
// takes the older one's place at the back; only a full queue refuses.
TEST_F(EngineTest, RequestsGoOutInTheOrderMadeAndANewerSetReplacesTheQueuedOne) {
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  std::vector<RequestOutcome> outcomes;
  engine_.SetRequestListener([&](const RequestOutcome& outcome) { outcomes.push_back(outcome); });
  VFroskClass& gain = engine_.VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN);
  EXPECT_TRUE(engine_.SendRequest(GET_DEVICE_IDEN));
  gain.SetFromInt(56);
  EXPECT_TRUE(engine_.WriteModuleSettings());
  EXPECT_TRUE(engine_.SendRequest(GET_FROSKTEC_CONFIG));
  AnswerLast(device);
  gain.SetFromInt(85);
  EXPECT_TRUE(engine_.WriteModuleSettings()) << "the line is free, yet others wait";
  EXPECT_TRUE(engine_.LoadModuleUserSet(1));
  EXPECT_TRUE(engine_.LoadModuleUserSet(2));
  EXPECT_EQ(engine_.QueuedItems(), 4u);
  for (int i = 0; i < 6 && (engine_.Waiting() || engine_.HasQueuedItem()); ++i) {
    engine_.Tick();
    if (engine_.Waiting()) AnswerLast(device);
  }
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{GET_DEVICE_IDEN, GET_FROSKTEC_CONFIG, SET_MODULE_VELTRA_USER_SET,
                                              LOAD_MODULE_VELTRA_PARAMS, LOAD_MODULE_VELTRA_PARAMS}));
  EXPECT_EQ(SentRecord<ModuleVeltraParamsRecord>(host_.sent[host_.sent.size() - 3]).gain, 85);
  EXPECT_EQ(outcomes, (std::vector<RequestOutcome>{{SET_MODULE_VELTRA_USER_SET, true, true},
                                                   {LOAD_MODULE_VELTRA_PARAMS, true, true},
                                                   {LOAD_MODULE_VELTRA_PARAMS, true, true}}))
      << "the replaced write has the newer one's outcome";
  EXPECT_EQ(beeper_.beeps, 0);

  outcomes.clear();
  EXPECT_TRUE(engine_.SendRequest(GET_DEVICE_IDEN));
  for (size_t i = 0; i < DeviceEngine::kQueueDepth; ++i) EXPECT_TRUE(engine_.StoreModuleUserSet(1));
  EXPECT_FALSE(engine_.WriteModuleSettings());
  EXPECT_EQ(beeper_.beeps, 1);
  EXPECT_EQ(outcomes, (std::vector<RequestOutcome>{{SET_MODULE_VELTRA_USER_SET, true, false}}));
}

// Five clicks on "+" while the first is still on its way: the replies to the
// older values must not pull the holder back, or the next step starts from them.
TEST_F(EngineTest, QuickStepsReachTheDeviceRisingAndEndOnTheLastStep) {
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  constexpr Key kSupply = MODULE_BASIC_PARAMS_U_SUP_PLUS;
  const int64_t start = engine_.ModuleUserSet().At(kSupply).GetAsInt();
  engine_.ModuleUserMax().At(kSupply).SetFromInt(static_cast<int32_t>(start + 100));
  std::vector<int64_t> received;
  const auto answer = [&] {
    const std::vector<uint8_t>& request = host_.sent.back();
    received.push_back(SentRecord<ModuleBasicParamsRecord>(request).uSupPlus);
    Receive(device.Answer(request));
  };
  for (int click = 0; click < 5; ++click) {
    EXPECT_TRUE(engine_.StepSetting(kSupply, +1));
    if (click % 2 == 1) answer();  // a reply now and then, between clicks
    engine_.Tick();
  }
  for (int i = 0; i < 5 && engine_.Waiting(); ++i) {
    answer();
    engine_.Tick();
  }
  ASSERT_FALSE(received.empty());
  EXPECT_TRUE(std::is_sorted(received.begin(), received.end(), std::less_equal<>()) &&
              std::adjacent_find(received.begin(), received.end()) == received.end())
      << testing::PrintToString(received);
  EXPECT_EQ(received.back(), start + 5);
  EXPECT_EQ(engine_.ModuleUserSet().At(kSupply).GetAsInt(), start + 5);
}

TEST_F(EngineTest, ATimeOutDuringTheSequenceIsReportedOnceAndStopsIt) {
  FakeDevice device(3);
  engine_.SetDeviceMonitorAuto(false);
  engine_.Tick();
  AnswerLast(device);  // SERVICE_MODE; GET_DEVICE_IDEN now in flight
  clock_.Advance(DeviceEngine::kReplyTimeoutMs);
  engine_.Tick();
  EXPECT_TRUE(engine_.Waiting()) << "5000 ms are not yet more than 5000 ms";
  clock_.Advance(1);
  engine_.Tick();
  EXPECT_FALSE(engine_.Waiting());
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
  // The tick never asks: the host does, once the tick has returned, and the
  // device's line is held until the box is closed.
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_TRUE(engine_.QuestionHeld());
  EXPECT_FALSE(engine_.Idle());
  engine_.SetDeviceMonitorAuto(true);
  TakeSentKeys();
  prompter_.whileOpen = [this] {
    clock_.Advance(6000);
    engine_.Tick();
  };
  engine_.AskHeldQuestion();
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_TRUE(TakeSentKeys().empty()) << "nothing on the line while its own box is open";
  EXPECT_FALSE(engine_.QuestionHeld());
  EXPECT_TRUE(engine_.Idle());
  engine_.SetDeviceMonitorAuto(false);
  prompter_.whileOpen = nullptr;

  // The late reply is stored, but the sequence stays stopped.
  Receive(device.Answer(host_.sent.back()));
  EXPECT_EQ(engine_.DeviceIden().At(DEVICE_IDEN_NAME).ValueToText(), "FroskTEC");
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);

  // Idle: a lost monitor poll goes silently and the next tick polls again.
  engine_.SetDeviceMonitorAuto(true);
  TakeSentKeys();
  engine_.Tick();
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_FROSKTEC_MONITOR});
  clock_.Advance(5001);
  engine_.Tick();
  engine_.Tick();
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_FROSKTEC_MONITOR});
  EXPECT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(engine_.Timeouts(), 2u);
}

TEST_F(EngineTest, TheTimeOutSurvivesTheTickCountWrapping) {
  clock_.Set(0xFFFFFF00u);
  engine_.Break();
  engine_.SetDeviceMonitorAuto(false);
  engine_.SendRequest(GET_DEVICE_IDEN);
  clock_.Advance(0x100 + 4000);  // past zero, 4256 ms later
  engine_.Tick();
  EXPECT_TRUE(engine_.Waiting());
  clock_.Advance(1000);
  engine_.Tick();
  EXPECT_FALSE(engine_.Waiting());
}

TEST_F(EngineTest, AVanishedPortEndsTheSequenceByTheTimeOut) {
  host_.linked = false;
  engine_.Tick();
  EXPECT_TRUE(engine_.Waiting());
  clock_.Advance(5001);
  engine_.Tick();
  engine_.AskHeldQuestion();
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
}

// Each device takes its own turns: two VELTRA devices polled side by side
// both keep both of their monitors live.
TEST_F(EngineTest, EachEngineAlternatesItsOwnMonitorPolls) {
  FakeDevice veltra(3);
  RunSequence(veltra);
  FakeHost otherHost;
  DeviceEngine other(otherHost, DeviceSeams{clock_, prompter_, beeper_, folders_});
  other.Break();
  other.ReceiveItem(ReplyItem(veltra.monitor).data());
  TakeSentKeys();
  engine_.SetDeviceMonitorAuto(true);
  engine_.SetModuleMonitorAuto(true);

  for (int i = 0; i < 4; ++i) {
    engine_.Tick();
    engine_.Tick();  // one poll per reply: the second tick finds the line busy
    AnswerLast(veltra);
    other.Tick();
    other.ReceiveItem(veltra.Answer(otherHost.sent.back()).data());
  }
  const std::vector<Key> turns{GET_MODULE_VELTRA_MONITOR, GET_FROSKTEC_MONITOR, GET_MODULE_VELTRA_MONITOR,
                               GET_FROSKTEC_MONITOR};
  EXPECT_EQ(TakeSentKeys(), turns);
  EXPECT_EQ(otherHost.SentKeys(), turns);
}

TEST_F(EngineTest, MonitorPollsFollowTheBoxesTheModuleAndThePage) {
  struct Case {
    int moduleType;
    bool deviceAuto;
    bool moduleAuto;
    uint8_t viewPage;
    std::vector<Key> polls;
  } cases[] = {
      {2, true, true, 0, {GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR}},
      {3, false, true, 0, {GET_MODULE_VELTRA_MONITOR, GET_MODULE_VELTRA_MONITOR}},
      {3, true, false, 0, {GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR}},
      {2, false, true, 0, {}},
      {3, true, true, 1, {}},
      {3, true, true, 2, {}},
  };
  for (const Case& c : cases) {
    FakeHost host;
    DeviceEngine engine(host, DeviceSeams{clock_, prompter_, beeper_, folders_});
    FakeDevice device(c.moduleType);
    engine.Break();
    engine.ReceiveItem(ReplyItem(device.monitor).data());
    engine.SetDeviceMonitorAuto(c.deviceAuto);
    engine.SetModuleMonitorAuto(c.moduleAuto);
    if (c.viewPage == 1) engine.ShowServiceView();
    if (c.viewPage == 2) {
      host.linked = false;  // the configurator then opens on its start page, asking nothing
      engine.StartConfigurator();
    }
    for (int i = 0; i < 2; ++i) {
      engine.Tick();
      if (engine.Waiting()) engine.ReceiveItem(device.Answer(host.sent.back()).data());
    }
    EXPECT_EQ(host.SentKeys(), c.polls) << c.moduleType << c.deviceAuto << c.moduleAuto << int{c.viewPage};
  }
}

TEST_F(EngineTest, TrafficReachesTheServiceViewOnlyWithTheServiceModeSetting) {
  struct Recorder : TrafficObserver {
    void ItemSent(const uint8_t* item) override { sent.push_back(ItemKey(item)); }
    void ItemReceived(const uint8_t* item) override { received.push_back(ItemKey(item)); }
    std::vector<Key> sent, received;
  } recorder;
  FakeDevice device(0);
  engine_.SetTrafficObserver(&recorder);
  engine_.Tick();
  AnswerLast(device);
  EXPECT_TRUE(recorder.sent.empty());
  EXPECT_TRUE(recorder.received.empty());
  host_.serviceMode = true;
  AnswerLast(device);
  EXPECT_EQ(recorder.received, std::vector<Key>{DEVICE_IDEN});
  EXPECT_EQ(recorder.sent, std::vector<Key>{GET_FROSKTEC_CONFIG});
}

TEST_F(EngineTest, ListenersHearEveryRefreshAndMayLeaveWhileHearing) {
  int first = 0, second = 0;
  int firstId = 0;
  firstId = engine_.AddRefreshListener([&](GroupMask) {
    ++first;
    engine_.RemoveRefreshListener(firstId);
  });
  engine_.AddRefreshListener([&](GroupMask) { ++second; });
  engine_.Refresh();
  engine_.Refresh();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
}

TEST_F(EngineTest, AQuestionsOwnEventLoopSendsNoPollAndTheTimeOutsBoxHoldsTheLine) {
  FakeDevice device(3);
  device.SetModuleIden("000301-14", 0);
  prompter_.whileOpen = [this] {
    engine_.Tick();
    clock_.Advance(6000);
    engine_.Tick();
  };
  host_.serviceMode = true;  // the answer No keeps the window open
  for (int i = 0; i < 10; ++i) {
    engine_.Tick();
    AnswerLast(device);
  }
  ASSERT_EQ(engine_.SequenceState(), SequenceState::kReadModuleDefault);
  const std::vector<Key> sequence = ReadingSequence(3);
  EXPECT_EQ(host_.SentKeys(), std::vector<Key>(sequence.begin(), sequence.begin() + 11))
      << "no poll while the module check asks";

  // While the time-out's box is open, ticks send nothing, not even the
  // queued request, and time nothing out; the first tick after it sends.
  engine_.SendRequest(GET_DEVICE_IDEN);
  clock_.Advance(5001);
  engine_.Tick();
  engine_.AskHeldQuestion();
  EXPECT_EQ(prompter_.shown.back(), (Message{"Communication timeout !", 16}));
  EXPECT_EQ(prompter_.shown.size(), 2u);
  EXPECT_EQ(host_.SentKeys().back(), GET_MODULE_DEFAULT);
  EXPECT_EQ(engine_.Timeouts(), 1u);
  engine_.Tick();
  EXPECT_EQ(host_.SentKeys().back(), GET_DEVICE_IDEN);
}

TEST_F(EngineTest, TheUserViewIsReadyWhileOnlyAMonitorPollIsAwaited) {
  FakeDevice device(3);
  RunSequence(device);
  EXPECT_TRUE(engine_.ViewReady());
  EXPECT_TRUE(engine_.ControllerReady());
  EXPECT_TRUE(engine_.VeltraReady());
  EXPECT_TRUE(engine_.TecPresent());
  engine_.SendRequest(GET_MODULE_VELTRA_MONITOR);
  EXPECT_TRUE(engine_.ViewReady());
  EXPECT_FALSE(engine_.Idle());
  AnswerLast(device);
  engine_.WriteModuleSettings();
  EXPECT_FALSE(engine_.ViewReady());
  engine_.Break();
  EXPECT_TRUE(engine_.Idle());
}

TEST_F(EngineTest, GetConfigurationReadsAgainFromTheDeviceIdentification) {
  FakeDevice device(0);
  RunSequence(device);
  TakeSentKeys();
  engine_.GetConfiguration();
  RunSequence(device);
  const std::vector<Key> full = ReadingSequence(0);
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>(full.begin() + 1, full.end()));
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
}

// The service view picks a group by its tabs' index: the index lookups and
// the slot table must name the same holders.
TEST_F(EngineTest, TheIndexLookupsAndTheSlotTableNameTheSameGroups) {
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(&(*engine_.ModuleIdenGroup(i))[0], engine_.Holders(kModuleIdenGroups[i]).data()) << i;
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(&(*engine_.BasicParamsGroup(i))[0], engine_.Holders(kBasicParamsGroups[i]).data()) << i;
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(&(*engine_.VeltraParamsGroup(i))[0], engine_.Holders(kVeltraParamsGroups[i]).data()) << i;
  EXPECT_EQ(engine_.ModuleIdenGroup(2), nullptr);
  EXPECT_EQ(engine_.BasicParamsGroup(-1), nullptr);
  EXPECT_EQ(engine_.VeltraParamsGroup(4), nullptr);
}

// A page of zeros must never reach the device: whatever left a group unread,
// no operation sends it until a reply fills it again.
TEST_F(EngineTest, AGroupNeverReadIsNeverSentUntilReadAgain) {
  FakeDevice device(3);
  ModuleBasicParamsRecord partial{};
  partial.uSupPlus = 12000;
  const std::vector<uint8_t> partialReply = ReplyItem(partial);
  const std::vector<uint8_t> withoutLast(partialReply.begin(), partialReply.end() - 8);
  struct Case {
    const char* how;
    std::function<void()> leaveUnread;
  } cases[] = {
      {"the reading sequence stopped at the module's user minimum",
       [&] {
         engine_.SetDeviceMonitorAuto(false);
         for (int i = 0; i < 12; ++i) {
           engine_.Tick();
           AnswerLast(device);
         }
         clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
         engine_.Tick();
         engine_.AskHeldQuestion();
       }},
      {"a reply without every field",
       [&] {
         RunSequence(device);
         engine_.ReadGroup(Group::kModuleUserMin);
         std::vector<uint8_t> reply = withoutLast;
         ItemPutContainer(reply.data(), MODULE_BASIC_PARAMS, static_cast<uint16_t>(reply.size()));
         Receive(reply);
       }},
      {"a write whose reply never came",
       [&] {
         RunSequence(device);
         engine_.SendModuleBasicParams(&engine_.ModuleUserMin(), SET_MODULE_USER_MIN);
         clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
         engine_.Tick();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    c.leaveUnread();
    TakeSentKeys();
    host_.logged.clear();
    EXPECT_NE(engine_.UnreadGroups() & GroupBit(Group::kModuleUserMin), 0u);
    EXPECT_FALSE(engine_.MaySend(Group::kModuleUserMin));
    EXPECT_FALSE(engine_.ControllerReady()) << "the settings' controls stay disabled";
    EXPECT_FALSE(engine_.SetSetting(MODULE_BASIC_PARAMS_U_SUP_PLUS, 9000).changed);
    EXPECT_FALSE(engine_.WriteGroup(Group::kModuleUserMin));
    EXPECT_EQ(host_.logged,
              std::vector<std::string>{"SET_MODULE_USER_MIN not sent: ModuleUserMin was never read from the device"});
    EXPECT_EQ(engine_.SupportedContent() & SlotOf(Group::kModuleUserMin).bit, 0u) << "nor saved into a file";
    EXPECT_TRUE(engine_.SwitchServiceMode(false)) << "a switch sets its record whole";

    engine_.ReadAgain();
    RunSequence(device);
    const std::vector<Key> sent = TakeSentKeys();
    EXPECT_NE(std::find(sent.begin(), sent.end(), SET_SERVICE_MODE), sent.end());
    EXPECT_EQ(std::find(sent.begin(), sent.end(), SET_MODULE_USER_MIN), sent.end());
    EXPECT_EQ(engine_.UnreadGroups() & ~(GroupBit(Group::kFroskTecMonitor) | GroupBit(Group::kModuleVeltraMonitor)), 0u)
        << "read again, every group of a VELTRA controller is read but the monitors, which the polls read";
    EXPECT_TRUE(engine_.ControllerReady());
    EXPECT_TRUE(engine_.WriteGroup(Group::kModuleUserMin));
    AnswerLast(device);
  }
}

// The controller may well have taken a write whose reply was lost: what it
// holds is read back at once, and until then the group is unread.
TEST_F(EngineTest, AWriteIsReportedAppliedOrNotAndALostOneIsReadBack) {
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  std::vector<RequestOutcome> outcomes;
  engine_.SetRequestListener([&](const RequestOutcome& outcome) { outcomes.push_back(outcome); });
  engine_.SetDeviceMonitorAuto(true);

  EXPECT_TRUE(engine_.WriteControllerSettings());
  AnswerLast(device);
  EXPECT_TRUE(engine_.WriteModuleSettings());
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  engine_.Tick();
  EXPECT_FALSE(engine_.QuestionHeld()) << "idle: a lost reply asks nothing";
  EXPECT_FALSE(engine_.VeltraReady());
  engine_.Tick();
  AnswerLast(device);
  EXPECT_TRUE(engine_.VeltraReady());
  engine_.Tick();
  engine_.Tick();  // a poll that gets no reply is reported too
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  engine_.Tick();
  const std::vector<Key> sent = TakeSentKeys();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(std::vector<Key>(sent.begin(), sent.begin() + 3),
            (std::vector<Key>{SET_MODULE_USER_SET, SET_MODULE_VELTRA_USER_SET, GET_MODULE_VELTRA_USER_SET}));
  EXPECT_EQ(outcomes, (std::vector<RequestOutcome>{{SET_MODULE_USER_SET, true, true},
                                                   {SET_MODULE_VELTRA_USER_SET, true, false},
                                                   {sent[3], false, false}}));
}

// A device that answers with another record than the one asked for must not
// leave the reading sequence waiting forever with nothing in flight.
TEST_F(EngineTest, AReplyOfAnotherRecordLeavesTheRequestInFlightToItsTimeOut) {
  FakeDevice device(3);
  engine_.SetDeviceMonitorAuto(false);
  engine_.Tick();
  AnswerLast(device);  // SERVICE_MODE; GET_DEVICE_IDEN now in flight
  Receive(ReplyItem(device.moduleIden));
  EXPECT_TRUE(engine_.Waiting());
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadDeviceIden);
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  engine_.Tick();
  engine_.AskHeldQuestion();
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_FALSE(engine_.ControllerReady());
}

TEST(StatusTextTest, CodesHaveTheControllersTexts) {
  EXPECT_EQ(StatusText(0), "Temperature locked");
  EXPECT_EQ(StatusText(2), "Not cooling");
  EXPECT_EQ(StatusText(137), "ERROR: Data error");
  EXPECT_EQ(StatusText(138), "ERROR: Data error");
  EXPECT_EQ(StatusText(140), "ERROR: Incompatible KAZ module");
  EXPECT_EQ(StatusText(141), "ERROR: Incompatible module");
  for (int code : {3, 127, 142, 200, -1}) EXPECT_EQ(StatusText(code), "") << code;
}

}  // namespace
}  // namespace frosk::test
