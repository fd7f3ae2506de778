// The shared records' server address (postgresql://user@host:port/db?options) with
// arbitrary text, as it can come from the settings file, the command line or the window's
// dialog: what is accepted is passed to libpq, so nothing may slip through that libpq
// would read otherwise, and no password may stay in it.

#include <QRegularExpression>

#include "records/store/ServerAddress.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace pb::records;

bool Same(const ServerAddress& a, const ServerAddress& b) {
    return a.user == b.user && a.host == b.host && a.port == b.port && a.database == b.database &&
           a.options == b.options;
}

void CheckText(const QString& url) {
    QString why;
    UrlProblem problem = UrlProblem::BadOption;
    QString argument;
    const std::optional<ServerAddress> a = ParseServerUrl(url, &why, &problem, &argument);
    FUZZ_REQUIRE(bool(a) == (problem == UrlProblem::None));
    if (!a) {
        FUZZ_REQUIRE(!why.isEmpty());
        if (problem == UrlProblem::BadOption) FUZZ_REQUIRE(url.contains(argument) && !argument.isEmpty());
        return;
    }
    FUZZ_REQUIRE(IsServerUrl(url.trimmed()));
    // A port libpq can dial, or none (its default).
    FUZZ_REQUIRE(a->port == -1 || (a->port >= 1 && a->port <= 65535));
    // Options go to libpq joined by ';' as "key=value": nothing in them may end one or
    // start another, and no password travels that way.
    static const QRegularExpression option(QStringLiteral("^[a-z_]+=[^ ';]*$"));
    for (const QString& o : a->options) {
        FUZZ_REQUIRE(option.match(o).hasMatch());
        const QString key = o.section(u'=', 0, 0);
        FUZZ_REQUIRE(key != u"password" && key != u"host" && key != u"user" && key != u"dbname" && key != u"port");
    }

    // The address as shown reads back as the same address, and shows no password.
    const QString shown = a->display();
    FUZZ_REQUIRE(shown.startsWith(QLatin1String("postgresql://")));
    QString shownWhy;
    const std::optional<ServerAddress> back = ParseServerUrl(shown, &shownWhy);
    FUZZ_REQUIRE(back);
    FUZZ_REQUIRE(Same(*back, *a));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    CheckText(QString::fromUtf8(text, qsizetype(size)));
    CheckText(QString::fromLatin1(text, qsizetype(size)));
    // Most inputs do not begin as a URL: try each behind the scheme as well.
    CheckText(QStringLiteral("postgresql://") + QString::fromUtf8(text, qsizetype(size)));
    return 0;
}
