#pragma once
// Where the two command consoles show the reply to a typed command.

#include <QString>

namespace pb {

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    virtual void setControllerReplyText(const QString& text) = 0;  // edCommandRecv
    virtual void setModuleReplyText(const QString& text) = 0;      // edModuleCommandRecv
};

}  // namespace pb
