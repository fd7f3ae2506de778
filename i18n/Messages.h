#pragma once
// The message table: every text the window shows beyond its initial captions,
// in English, Simplified Chinese and Traditional Chinese.

#include <QString>

#include "i18n/Language.h"

namespace pb {

enum class MsgId : int {
    Caption = 0,
    OpenPortError = 1,
    StartConnectDevice = 2,
    MenuLanguage = 3,
    MenuFile = 4,
    MenuSetup = 5,
    About = 6,
    MenuAbout = 7,
    MenuExit = 8,
    MenuLanguageItem = 9,
    PageCom = 10,
    PageNet = 11,
    Speed = 12,
    Port = 13,
    TestCard = 14,
    MenuFirmwareFile = 15,
    ConnectDevice = 16,
    ConnectingDevice = 17,
    ConnectDeviceError = 18,
    ConnectDeviceOk = 19,
    CommandOk = 20,
    CommandError = 21,
    BasicTest = 22,
    FunctionTest = 23,
    CommandTest = 24,
    FirmwareUpgrade = 25,
    CancelTest = 26,
    DidoTest = 27,
    PoolingDataTest = 28,
    SetFactory = 29,
    SetReboot = 30,
    SetDateAndTime = 31,
    AlarmTest = 32,
    ControllerCommandTest = 33,
    ModuleCommandTest = 34,
    TestCommand = 35,
    SendCommand = 36,
    ReceiveData = 37,
    Type = 38,
    FirmwareLoad = 39,
    Programming = 40,
    Verifying = 41,
    Upgrading = 42,
    LoadFirmwareFileError = 43,
    FirmwareFileModelError = 44,
    Note = 45,
    FirmwareNote = 46,
    AboutText = 47,
};

constexpr int kMessageCount = 48;

// The text of message id in the language; an id or language out of range (a value cast
// from a number) gives an empty text.
QString Msg(MsgId id, Language language);

}  // namespace pb
