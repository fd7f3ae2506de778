#pragma once
// Reads a fixture from its JSON text and checks it as recipes are checked: every mistake
// with its line and field ("line 9, sockets[2].tcp: ..."), all of them, and the recipe it
// names with its own mistakes. A fixture comes back only when there is none.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "multiup/Fixture.h"
#include "i18n/FixtureTexts.h"
#include "catalogue/RecipeLoader.h"

namespace pb {

struct FixtureMistake {
    int line = 0;   // from 1; 0 when the file could not be read at all
    QString field;  // "sockets[2].tcp"; "" for the file as a whole
    FixtureProblem problem = FixtureProblem::Syntax;
    QStringList args;
    std::optional<RecipeMistake> inRecipe;  // InRecipe: the recipe's own mistake

    QString text(int language) const;  // "line 9, sockets[2].tcp: ..."
};

struct FixtureLoad {
    std::optional<Fixture> fixture;  // set exactly when `mistakes` is empty
    QList<FixtureMistake> mistakes;
};

// `folder`: where a relative recipe path is looked for.
FixtureLoad loadFixture(const QByteArray& bytes, const QString& folder);
FixtureLoad loadFixtureFile(const QString& path);

// Whether the file at `path` is meant as a fixture (a JSON object with "sockets"), not a
// recipe: the station opens one or the other by what the file is. A file that cannot
// be read or parsed is not one (the recipe's loader then says why).
bool IsFixtureFile(const QString& path);

}  // namespace pb
