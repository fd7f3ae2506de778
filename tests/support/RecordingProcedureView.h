#pragma once
// A headless window for the controller tests: records what the window would show and
// holds the few controls the tests read (pnID, the DO check boxes).

#include <QStringList>
#include <array>
#include <functional>

#include "procedures/Procedure.h"
#include "tests/support/RecordingView.h"

namespace pbtest {

class RecordingProcedureView : public RecordingViewOf<pb::TestRunView>,
                               public pb::IdentifyView,
                               public pb::DidoView,
                               public pb::PollingView,
                               public pb::ConsoleView {
public:
    // Runs on every processEvents of a procedure (e.g. a second click after N cycles).
    std::function<void()> onProcessEvents;

    void processEvents() override {
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents();
        RecordingViewOf<pb::TestRunView>::processEvents();
    }

    QString idCaption() const override { return id; }
    void setIdPosition(int position) override {
        idPosition = position;
        id = QStringLiteral("%1").arg(position, 4, 10, QLatin1Char('0'));
    }
    void setVersionText(const QString& text) override { version = text; }
    void setSerialNumberText(const QString& text) override { serialNumber = text; }

    void showAllInputsAndOutputs() override { kind4Layout = false; }
    void hideInputsAndOutputsMissingOnKind4() override { kind4Layout = true; }
    bool outputTicked(int k) const override { return outputs[size_t(k)]; }
    void untickAllOutputs() override { outputs.fill(false); }
    void setInputLamp(int k, pb::InputLamp colour) override {
        inputLamps[size_t(k)] = colour;
        lampHistory.append(QString::number(k) + (colour == pb::InputLamp::Yellow ? "Y" : "W"));
    }

    // Cleared as a whole, apart from the histories of what the tests painted and showed.
    void clearInputLamps() override {
        inputLamps.fill(pb::InputLamp::White);
        ++inputLampClears;
    }
    void clearPolling() override {
        pollingDate.clear();
        pollingData.clear();
        ++pollingClears;
    }

    void setPollingDate(const QString& text) override {
        pollingDate = text;
        pollingDates.append(text);
    }
    void setPollingData(const QString& text) override {
        pollingData = text;
        pollingDataShown.append(text);
    }

    void setControllerReplyText(const QString& text) override { controllerReply = text; }
    void setModuleReplyText(const QString& text) override { moduleReply = text; }

    // Every input lamp white (index 0 unused).
    bool allInputsWhite() const {
        for (size_t k = 1; k <= 8; ++k)
            if (inputLamps[k] != pb::InputLamp::White) return false;
        return true;
    }

    QString id = QStringLiteral("0000");
    int idPosition = -1;
    QString version = QStringLiteral("(untouched)");
    QString serialNumber = QStringLiteral("(untouched)");
    bool kind4Layout = false;
    std::array<bool, 5> outputs{};              // chkDO1..4 at 1..4
    std::array<pb::InputLamp, 9> inputLamps{};  // shDI1..8 at 1..8
    QStringList lampHistory;                    // "3Y": shDI3 painted yellow, in order
    QString pollingDate;
    QString pollingData;
    QStringList pollingDates;      // every text pnPoolingDate showed, in order
    QStringList pollingDataShown;  // the same for pnPoolingData
    QString controllerReply;
    QString moduleReply;
    int processEventsCalls = 0;
    int inputLampClears = 0;
    int pollingClears = 0;
};

}  // namespace pbtest
