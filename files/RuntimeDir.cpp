#include "files/RuntimeDir.h"

#include <stdlib.h>

#include <QDir>
#include <QFile>

namespace pb {

PrivateRuntimeDir::PrivateRuntimeDir() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty()) base = "/tmp";
    QByteArray path = base + "/panelbench-runtime.XXXXXX";
    // mkdtemp makes the folder with mode 0700, as Qt requires of a runtime folder.
    if (::mkdtemp(path.data()) == nullptr) return;
    made_ = path;
    qputenv("XDG_RUNTIME_DIR", made_);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
    if (made_.isEmpty()) return;
    QDir(QFile::decodeName(made_)).removeRecursively();
    qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace pb
