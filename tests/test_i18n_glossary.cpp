// One term per concept: every text table words a term of docs/glossary.md as the window's
// message table does. The tables are read from the sources (every TextRow table of the
// program, whichever folder it is in), the terms from the glossary itself.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "i18n/Messages.h"

namespace {

const QString kSources = QStringLiteral(PANELBENCH_SOURCE_DIR);

struct Term {
    QString name;
    QStringList english;  // the words that name it
    QString simplified, traditional;
    QList<int> messages;  // the message table's rows that fix it
};

struct Row {
    QString file;
    QString text[3];
};

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QList<Term> GlossaryTerms() {
    QList<Term> terms;
    for (const QString& line : ReadText(kSources + QStringLiteral("/docs/glossary.md")).split(u'\n')) {
        const QStringList cells = line.split(u'|');
        if (cells.size() != 7 || !line.startsWith(u'|')) continue;
        const QString name = cells[1].trimmed();
        if (name == QLatin1String("Term") || name.startsWith(u'-')) continue;  // head and rule
        Term t{name, {}, cells[3].trimmed(), cells[4].trimmed(), {}};
        for (const QString& word : cells[2].split(u',')) t.english << word.trimmed();
        static const QRegularExpression number(QStringLiteral("\\d+"));
        for (auto m = number.globalMatch(cells[5]); m.hasNext();) t.messages << m.next().captured().toInt();
        terms << t;
    }
    return terms;
}

// The text of a run of adjacent u"..." literals, its escapes undone.
QString Literal(const QString& run) {
    static const QRegularExpression piece(QStringLiteral(R"re(u"((?:[^"\\]|\\.)*)")re"));
    QString text;
    for (auto m = piece.globalMatch(run); m.hasNext();) {
        const QString raw = m.next().captured(1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\' || i + 1 == raw.size()) {
                text += raw[i];
                continue;
            }
            const QChar next = raw[++i];
            text += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        }
    }
    return text;
}

// Every {{u"English", u"Simplified", u"Traditional"}} row of the program's sources.
QList<Row> TextRows() {
    static const QString lit = QStringLiteral(R"re((?:u"(?:[^"\\]|\\.)*"\s*)+)re");
    static const QRegularExpression row(QStringLiteral(R"re(\{\s*\{\s*(%1),\s*(%1),\s*(%1)\}\s*\})re").arg(lit));
    QList<Row> rows;
    for (const char* folder : {"app", "catalogue", "cli", "files", "firmware", "gang", "i18n", "link", "multiup", "output",
                               "procedures", "recipes", "records", "reports", "runner", "settings", "traffic"}) {
        QDirIterator it(kSources + u'/' + QLatin1String(folder), {QStringLiteral("*.cpp")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString source = ReadText(path);
            for (auto m = row.globalMatch(source); m.hasNext();) {
                const auto match = m.next();
                rows << Row{path.mid(kSources.size() + 1),
                            {Literal(match.captured(1)), Literal(match.captured(2)), Literal(match.captured(3))}};
            }
        }
    }
    return rows;
}

// `word` in `english` as a whole word, in lower case or with a capital first letter (an
// all-capitals placeholder such as FILE, or a named one such as {command}, is no use of
// the word).
bool Names(const QString& english, const QString& word) {
    for (qsizetype at = english.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
         at = english.indexOf(word, at + 1, Qt::CaseInsensitive)) {
        const QString found = english.mid(at, word.size());
        if (found.mid(1) != word.mid(1) || (found[0] != word[0] && found[0] != word[0].toUpper())) continue;
        const qsizetype end = at + word.size();
        const bool wordBefore = at > 0 && english[at - 1].isLetterOrNumber();
        const bool wordAfter = end < english.size() && english[end].isLetterOrNumber();
        const bool placeholder = at > 0 && english[at - 1] == u'{' && end < english.size() && english[end] == u'}';
        if (!wordBefore && !wordAfter && !placeholder) return true;
    }
    return false;
}

bool NamesTerm(const QString& english, const Term& term) {
    for (const QString& word : term.english)
        if (Names(english, word)) return true;
    return false;
}

TEST(Glossary, TheReadersOfTheGlossaryAndTheTablesFindWhatIsThere) {
    const QList<Term> terms = GlossaryTerms();
    ASSERT_GE(terms.size(), 20);
    for (const Term& t : terms) {
        EXPECT_FALSE(t.english.isEmpty() || t.english.contains(QString())) << qPrintable(t.name);
        EXPECT_FALSE(t.simplified.isEmpty() || t.traditional.isEmpty()) << qPrintable(t.name);
    }
    const QList<Row> rows = TextRows();
    EXPECT_GE(rows.size(), 400);
    // The message table read from its source is the table the program looks up.
    QList<Row> messages;
    for (const Row& r : rows)
        if (r.file == QLatin1String("i18n/Messages.cpp")) messages << r;
    ASSERT_EQ(messages.size(), pb::kMessageCount);
    for (int id = 0; id < pb::kMessageCount; ++id)
        for (int language = 0; language < pb::kLanguageCount; ++language)
            EXPECT_EQ(messages[id].text[language], pb::Msg(pb::MsgId(id), pb::kLanguages[language])) << id;

    EXPECT_TRUE(Names(QStringLiteral("Set reboot"), QStringLiteral("reboot")));
    EXPECT_TRUE(Names(QStringLiteral("Reboot"), QStringLiteral("reboot")));
    EXPECT_TRUE(Names(QStringLiteral("see DI/DO."), QStringLiteral("DI/DO")));
    EXPECT_FALSE(Names(QStringLiteral("the database"), QStringLiteral("data")));
    EXPECT_FALSE(Names(QStringLiteral("a recipe in FILE"), QStringLiteral("file")));
    EXPECT_FALSE(Names(QStringLiteral("no reply to {command}"), QStringLiteral("command")));
}

// The rows the glossary names as fixing a term hold it: the glossary follows the window.
TEST(Glossary, EveryTermIsTheWindowsOwnWord) {
    for (const Term& t : GlossaryTerms())
        for (int id : t.messages) {
            ASSERT_LT(id, pb::kMessageCount) << qPrintable(t.name);
            const auto msg = pb::MsgId(id);
            EXPECT_TRUE(NamesTerm(pb::Msg(msg, pb::Language::English), t)) << qPrintable(t.name) << " " << id;
            EXPECT_TRUE(pb::Msg(msg, pb::Language::SimplifiedChinese).contains(t.simplified)) << qPrintable(t.name) << " " << id;
            EXPECT_TRUE(pb::Msg(msg, pb::Language::TraditionalChinese).contains(t.traditional)) << qPrintable(t.name) << " " << id;
        }
}

TEST(Glossary, NoTwoTablesTranslateATermDifferently) {
    const QList<Term> terms = GlossaryTerms();
    for (const Row& r : TextRows())
        for (const Term& t : terms) {
            if (!NamesTerm(r.text[0], t)) continue;
            EXPECT_TRUE(r.text[1].contains(t.simplified))
                << qPrintable(r.file) << ": \"" << qPrintable(r.text[0]) << "\" is \"" << qPrintable(r.text[1])
                << "\", without " << qPrintable(t.simplified) << " (" << qPrintable(t.name) << ")";
            EXPECT_TRUE(r.text[2].contains(t.traditional))
                << qPrintable(r.file) << ": \"" << qPrintable(r.text[0]) << "\" is \"" << qPrintable(r.text[2])
                << "\", without " << qPrintable(t.traditional) << " (" << qPrintable(t.name) << ")";
        }
}

}  // namespace
