// Every disk call of a full and of a quick format made to fail, one run each: the message the
// user sees, the dialog idle again, the volume unlocked, and nothing written after the failure
// but the invalidation of a half-made volume.
#include <gtest/gtest.h>

#include "tests/formatter/FormatRig.h"
#include "tests/support/MessageTexts.h"

namespace brind {
namespace {

using test::DeviceCall;
using test::FormatRig;
using test::kGeneralFailure;
using test::kLocked;
using test::kNoDiskRetry;
using test::kNotSupported;
using test::kSetParamsFailed;
using test::kStageFailures;
using test::Op;
using test::ShownPrompt;

enum class Phase { kChecks, kTrack, kStage, kCompletion };
struct CallPhase {
  Phase phase;
  uint32_t step;
};

struct Kind {
  const char* name;
  bool quick;
  friend void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }
};

void Prepare(FormatRig& rig, const Kind& kind) {
  if (kind.quick) rig.PutMacDisk("Old");
  rig.driver.queryAnswer = 1;  // a drive the system cannot describe is refused
  rig.prompts.respond = [](const ShownPrompt& p) {
    switch (p.buttons()) {
      case kMbRetryCancel:
        return int{kIdCancel};
      case kMbYesNo:
        return int{kIdYes};
      default:
        return int{kIdOk};
    }
  };
  rig.Open();
}

// A failure of each kind of call, with the code a drive would give for it.
uint16_t FaultCode(Op op) {
  switch (op) {
    case Op::kRead:
    case Op::kWrite:
      return kDiskNotReady;
    case Op::kFormatTrack:
      return kDiskGeneralFailure;
    default:
      return 0x1F;
  }
}

bool Faultable(Op op) {
  return op == Op::kRead || op == Op::kWrite || op == Op::kFormatTrack || op == Op::kGetParams ||
         op == Op::kSetParams || op == Op::kLock || op == Op::kUnlock;
}

// What the user is told when the call fails; nullptr: the format is not harmed by it.
const char* Expected(const DeviceCall& c, const CallPhase& where) {
  switch (where.phase) {
    case Phase::kChecks:
      if (c.op == Op::kGetParams) return kNotSupported;
      if (c.op == Op::kLock && c.level == 0) return kLocked;
      if (c.op == Op::kLock || c.op == Op::kUnlock)
        return nullptr;  // the lock probe decides nothing
      if (c.op == Op::kRead || c.op == Op::kWrite) return kNoDiskRetry;
      break;
    case Phase::kTrack:
      if (c.op == Op::kGetParams || c.op == Op::kSetParams) return kSetParamsFailed;
      if (c.op == Op::kFormatTrack) return kGeneralFailure;
      break;
    case Phase::kStage:
      if (c.op == Op::kRead || c.op == Op::kWrite) return kStageFailures[where.step - 160];
      break;
    case Phase::kCompletion:
      if (c.op == Op::kUnlock) return nullptr;
      break;
  }
  ADD_FAILURE() << "a call nobody expects: op " << static_cast<int>(c.op) << " in phase "
                << static_cast<int>(where.phase) << " step " << where.step;
  return "?";
}

class FaultSweep : public ::testing::TestWithParam<Kind> {};

TEST_P(FaultSweep, EveryDiskCallFailsOnce) {
  const Kind kind = GetParam();

  // The undisturbed run, to know every call and the part of the format it belongs to.
  FormatRig ref;
  Prepare(ref, kind);
  const size_t base = ref.device.calls.size();
  ref.Start(kind.quick);
  std::vector<CallPhase> phases(ref.device.calls.size() - base, {Phase::kChecks, 0});
  while (ref.view.timerSet) {
    const uint32_t step = ref.state.step;
    const bool completing = step >= 167;
    ref.ctl.OnTimer();
    const Phase p = completing ? Phase::kCompletion : step < 160 ? Phase::kTrack : Phase::kStage;
    phases.resize(ref.device.calls.size() - base, {p, step});
  }
  ASSERT_EQ(ref.stages.runs.size(), 7u);
  ASSERT_TRUE(ref.view.Idle());
  const size_t refShown = ref.prompts.shown.size();

  int runs = 0;
  for (size_t i = base; i < ref.device.calls.size(); ++i) {
    const DeviceCall& call = ref.device.calls[i];
    if (!Faultable(call.op)) continue;
    const CallPhase where = phases[i - base];
    SCOPED_TRACE(testing::Message()
                 << kind.name << ": call " << i << " op " << static_cast<int>(call.op) << " sector "
                 << call.sector << " step " << where.step);
    const char* expected = Expected(call, where);
    ++runs;

    FormatRig rig;
    Prepare(rig, kind);
    rig.device.FailCallAt(i, FaultCode(call.op));
    rig.Start(kind.quick);
    rig.Pump();

    if (where.phase == Phase::kStage) {
      // The stage of that step stopped at the failed call: it is the stage's last disk call.
      ASSERT_EQ(rig.stages.runs.size(), where.step - 160 + 1);
      EXPECT_EQ(rig.stages.runs.back().endCall, i + 1);
    }
    if (expected) {
      ASSERT_FALSE(rig.prompts.shown.empty());
      EXPECT_EQ(rig.prompts.shown.back().text, expected);
      EXPECT_LT(rig.stages.runs.size() + (where.phase == Phase::kStage ? 0 : 1), 8u);
    } else {
      EXPECT_EQ(rig.prompts.shown.size(), refShown) << "a harmless failure is not reported";
      EXPECT_EQ(rig.stages.runs.size(), 7u) << "and the format completes";
    }
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_EQ(rig.state.formatActive, 0);
    EXPECT_FALSE(rig.view.endResult);

    // Unlocked: the last thing done to the drive is the whole unlock, and the device is closed.
    const auto& calls = rig.device.calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[calls.size() - 4].op, Op::kUnlock);
    EXPECT_EQ(calls[calls.size() - 3].op, Op::kSearchRoot);
    EXPECT_EQ(calls[calls.size() - 2].op, Op::kUnlock);
    EXPECT_EQ(calls[calls.size() - 1].op, Op::kClose);
    if (call.op != Op::kUnlock) {
      EXPECT_EQ(rig.device.lockDepth, 0);
    }

    if (expected) {
      const std::vector<DeviceCall> later = rig.ChangesFrom(i + 1);
      if (where.phase == Phase::kStage) {
        ASSERT_EQ(later.size(), 1u) << "only the invalidation of the half-made volume";
        EXPECT_EQ(later[0].op, Op::kWrite);
        EXPECT_EQ(later[0].sector, 2u);
        EXPECT_FALSE(rig.device.SectorData(2)[0] == 0x42 && rig.device.SectorData(2)[1] == 0x44);
      } else {
        EXPECT_TRUE(later.empty()) << later.size() << " writes after the failure";
      }
    }
  }
  EXPECT_GT(runs, kind.quick ? 20 : 180);
}

INSTANTIATE_TEST_SUITE_P(Formats, FaultSweep,
                         ::testing::Values(Kind{"full", false}, Kind{"quick", true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace brind
