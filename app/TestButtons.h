#pragma once
// Buttons that run a test of the catalogue that takes nothing: each is made in its page with
// TestButton, captioned with the test's name in the window's language, run by its click
// (WireTestButtons) and held, like the designed test buttons, while a DI/DO or polling
// test runs. A new such test needs no handler of its own in the window.

#include <QList>
#include <QPushButton>
#include <functional>
#include <optional>

#include "catalogue/TestRequest.h"

namespace pb {

// What a page's button asks for: its test, with what it read from the page's controls, run
// by the window through the one runner.
using RunRequest = std::function<void(const TestRequest&)>;

QPushButton* TestButton(QWidget* parent, const char* name, TestId test, QRect geometry);
// The test a button made by TestButton runs; none for any other widget.
std::optional<TestId> ButtonTest(const QObject* widget);
// The buttons made by TestButton under `root`, in the order they were made.
QList<QPushButton*> TestButtonsIn(const QWidget* root);
void CaptionTestButtons(const QWidget* root, int language);
// Each click of a button under `root` calls `run` with its test, while `context` lives.
void WireTestButtons(const QWidget* root, QObject* context, const RunRequest& run);

}  // namespace pb
