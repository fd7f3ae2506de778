#include "app/TestButtons.h"

#include <algorithm>

#include "app/Controls.h"
#include "catalogue/TestCatalogue.h"

namespace pb {
namespace {

constexpr char kTestProperty[] = "panelbenchTest";

}  // namespace

QPushButton* TestButton(QWidget* parent, const char* name, TestId test, QRect geometry) {
    const TestDescriptor& entry = CatalogueEntry(test);
    // Its click has nothing to read from the window: a test that needs a value (an argument,
    // a required field) has its own handler; optional fields keep their defaults.
    Q_ASSERT(entry.standalone && std::none_of(entry.params.begin(), entry.params.end(), [](const ParamDescriptor& p) {
                 return p.positional() || p.required;
             }));
    QPushButton* button = Ui::Button(parent, name, entry.nameIn(0), geometry);
    button->setProperty(kTestProperty, int(test));
    return button;
}

std::optional<TestId> ButtonTest(const QObject* widget) {
    const QVariant v = widget ? widget->property(kTestProperty) : QVariant();
    if (!v.isValid()) return std::nullopt;
    return TestId(v.toInt());
}

QList<QPushButton*> TestButtonsIn(const QWidget* root) {
    QList<QPushButton*> buttons;
    for (QPushButton* b : root->findChildren<QPushButton*>())
        if (ButtonTest(b)) buttons << b;
    return buttons;
}

void CaptionTestButtons(const QWidget* root, int language) {
    for (QPushButton* b : TestButtonsIn(root)) b->setText(CatalogueEntry(*ButtonTest(b)).nameIn(language));
}

void WireTestButtons(const QWidget* root, QObject* context, const RunRequest& run) {
    for (QPushButton* b : TestButtonsIn(root)) {
        const TestId test = *ButtonTest(b);
        QObject::connect(b, &QPushButton::clicked, context, [run, test] { run({test, {}}); });
    }
}

}  // namespace pb
