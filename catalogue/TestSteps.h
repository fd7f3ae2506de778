#pragma once
// The tests' functions the catalogue's rows point at: each procedure as the window's button
// runs it, each as a plan's step (run and judged), and what a run found as data.

#include "catalogue/StepContext.h"
#include "catalogue/TestRequest.h"

namespace pb::steps {

// The procedures.
TestResult RunConnect(TestRig& rig, const TestParams& p);
TestResult RunSetDate(TestRig& rig, const TestParams& p);
TestResult RunAlarm(TestRig& rig, const TestParams& p);
TestResult RunFactoryInitial(TestRig& rig, const TestParams& p);
TestResult RunReboot(TestRig& rig, const TestParams& p);
TestResult RunDido(TestRig& rig, const TestParams& p);
TestResult RunPolling(TestRig& rig, const TestParams& p);
TestResult RunControllerCommand(TestRig& rig, const TestParams& p);
TestResult RunModuleCommand(TestRig& rig, const TestParams& p);
TestResult RunFirmwareUpgrade(TestRig& rig, const TestParams& p);
TestResult RunAwaitAnswer(TestRig& rig, const TestParams& p);

// The steps of a plan.
StepOutcome Identify(StepContext& run, const TestParams& p);
StepOutcome SetDate(StepContext& run, const TestParams& p);
StepOutcome Alarm(StepContext& run, const TestParams& p);
StepOutcome FactoryInitial(StepContext& run, const TestParams& p);
StepOutcome Reboot(StepContext& run, const TestParams& p);
StepOutcome Dido(StepContext& run, const TestParams& p);
StepOutcome Poll(StepContext& run, const TestParams& p);
StepOutcome ControllerCommand(StepContext& run, const TestParams& p);
StepOutcome ModuleCommand(StepContext& run, const TestParams& p);
StepOutcome Upgrade(StepContext& run, const TestParams& p);

// What a run found, without limits.
Measurements OfIdentify(const TestResult& r);
Measurements OfSetDate(const TestResult& r);
Measurements OfDido(const TestResult& r);
Measurements OfPolling(const TestResult& r);
Measurements OfConsole(const TestResult& r);
Measurements OfUpgrade(const TestResult& r);
Measurements OfAwait(const TestResult& r);

// How long a controller may take to come back after a factory reset or an upgrade.
constexpr int kBackAfterResetS = 30;
constexpr int kBackAfterUpgradeS = 60;

}  // namespace pb::steps
