#pragma once
// The message table: every text the window shows beyond its initial captions,
// in English, Simplified Chinese and Traditional Chinese.

#include <QString>

namespace pb {

namespace msg {
constexpr int Caption = 0;
constexpr int OpenPortError = 1;
constexpr int StartConnectDevice = 2;
constexpr int MenuLanguage = 3;
constexpr int MenuFile = 4;
constexpr int MenuSetup = 5;
constexpr int About = 6;
constexpr int MenuAbout = 7;
constexpr int MenuExit = 8;
constexpr int MenuLanguageItem = 9;
constexpr int PageCom = 10;
constexpr int PageNet = 11;
constexpr int Speed = 12;
constexpr int Port = 13;
constexpr int TestCard = 14;
constexpr int MenuFirmwareFile = 15;
constexpr int ConnectDevice = 16;
constexpr int ConnectingDevice = 17;
constexpr int ConnectDeviceError = 18;
constexpr int ConnectDeviceOk = 19;
constexpr int CommandOk = 20;
constexpr int CommandError = 21;
constexpr int BasicTest = 22;
constexpr int FunctionTest = 23;
constexpr int CommandTest = 24;
constexpr int FirmwareUpgrade = 25;
constexpr int CancelTest = 26;
constexpr int DidoTest = 27;
constexpr int PoolingDataTest = 28;
constexpr int SetFactory = 29;
constexpr int SetReboot = 30;
constexpr int SetDateAndTime = 31;
constexpr int AlarmTest = 32;
constexpr int ControllerCommandTest = 33;
constexpr int ModuleCommandTest = 34;
constexpr int TestCommand = 35;
constexpr int SendCommand = 36;
constexpr int ReceiveData = 37;
constexpr int Type = 38;
constexpr int FirmwareLoad = 39;
constexpr int Programming = 40;
constexpr int Verifying = 41;
constexpr int Upgrading = 42;
constexpr int LoadFirmwareFileError = 43;
constexpr int FirmwareFileModelError = 44;
constexpr int Note = 45;
constexpr int FirmwareNote = 46;
constexpr int AboutText = 47;
}  // namespace msg

constexpr int kMessageCount = 48;
constexpr int kLanguageCount = 3;

// The text of message id in language 0 (English), 1 (Simplified) or 2 (Traditional).
// An id or language out of range gives an empty text.
QString Msg(int id, int language);

}  // namespace pb
