#include "catalogue/TestDocs.h"

#include <QStringList>
#include <algorithm>

#include "catalogue/TestCatalogue.h"

namespace pb {
namespace {

// A help text on one line (its '\n' are where --help breaks it).
QString OneLine(const char* help) { return QString::fromLatin1(help).replace(u'\n', u' '); }

QString Cell(QString text) { return text.replace(u'|', QStringLiteral("\\|")); }

QString RecipeFields(const TestDescriptor& test) {
    QString text;
    for (const ParamDescriptor& p : test.params) {
        if (!p.field) continue;
        const QString absent = p.absent.isValid() ? QStringLiteral("default %1").arg(p.absent.toString()) : QString();
        text += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                    .arg(QLatin1String(p.field), Cell(KindText(p)),
                         p.required ? QStringLiteral("required") : absent, Cell(OneLine(p.help)));
    }
    return text.isEmpty() ? QString()
                          : QStringLiteral("| Field | Value | | Meaning |\n|---|---|---|---|\n") + text;
}

QString CommandOptions(const TestDescriptor& test) {
    QString text;
    for (const ParamDescriptor& p : test.params) {
        if (!p.option) continue;
        const QString name = p.positional() ? QLatin1String(p.option)
                             : p.metavar    ? QStringLiteral("%1 %2").arg(QLatin1String(p.option), QLatin1String(p.metavar))
                                            : QLatin1String(p.option);
        text += QStringLiteral("| `%1` | %2 | %3 |\n").arg(name, Cell(KindText(p)), Cell(OneLine(p.help)));
    }
    return text.isEmpty() ? QString() : QStringLiteral("| Argument | Value | Meaning |\n|---|---|---|\n") + text;
}

}  // namespace

QString TestsMarkdown() {
    QString text = QStringLiteral(
        "# Tests\n"
        "\n"
        "<!-- Made from the test descriptors (catalogue/TestCatalogue.cpp) by `panelbench-cli tests\n"
        "     --markdown > docs/tests.md`; a test fails when this file and they differ. -->\n"
        "\n"
        "Every test Panel Bench runs, each under one name everywhere: the records keep its\n"
        "stable name, the command line and a recipe step's `kind` take its command (or the\n"
        "stable name), and the window, the station and the records show its caption in the\n"
        "reader's language.\n"
        "\n"
        "| Stable name | Command and step kind | Caption (English, 简体, 繁體) | What it does |\n"
        "|---|---|---|---|\n");
    for (const TestDescriptor& test : Catalogue())
        text += QStringLiteral("| `%1` | %2 | %3, %4, %5 | %6 |\n")
                    .arg(test.stableName(),
                         test.standalone ? QStringLiteral("`%1`").arg(test.commandName()) : QStringLiteral("(within others)"),
                         test.nameIn(0), test.nameIn(1), test.nameIn(2),
                         Cell(test.standalone ? OneLine(test.help) : QStringLiteral("waits until the controller answers again")));
    for (const TestDescriptor& test : Catalogue()) {
        if (!test.standalone) continue;
        text += QStringLiteral("\n## %1\n\n").arg(test.commandName());
        const QString usage = test.usage();
        text += QStringLiteral("Command line: `panelbench-cli %1%2 LINK...`; in a recipe: `{\"kind\": \"%1\", ...}`.\n")
                    .arg(test.commandName(), usage.isEmpty() ? QString() : u' ' + usage);
        if (*test.passes) text += QStringLiteral("\nThe step passes when %1\n").arg(QLatin1String(test.passes));
        if (const QString options = CommandOptions(test); !options.isEmpty()) text += u'\n' + options;
        if (const QString fields = RecipeFields(test); !fields.isEmpty()) text += u'\n' + fields;
    }
    return text;
}

QString TestsTable(int language) {
    qsizetype command = 0, stable = 0;
    for (const TestDescriptor& test : Catalogue()) {
        command = std::max(command, test.commandName().size());
        stable = std::max(stable, test.stableName().size());
    }
    QString text;
    for (const TestDescriptor& test : Catalogue()) {
        if (!test.standalone) continue;
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(test.commandName().leftJustified(command), test.stableName().leftJustified(stable),
                         test.nameIn(language));
    }
    return text;
}

}  // namespace pb
