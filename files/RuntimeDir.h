#pragma once
// Qt wants XDG_RUNTIME_DIR (a folder of this user's, mode 0700) and warns on every start
// where it is unset (su, sudo, containers, CI), then falls back to a folder under /tmp
// that other runs share. Where it is unset the program makes a private one for this run
// and removes it on exit.

#include <QByteArray>

namespace pb {

class PrivateRuntimeDir {
public:
    PrivateRuntimeDir();  // call before the QApplication is made
    ~PrivateRuntimeDir();
    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

    // The folder made for this run; empty when XDG_RUNTIME_DIR was already set.
    const QByteArray& made() const { return made_; }

private:
    QByteArray made_;
};

}  // namespace pb
