#include "i18n/Messages.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

// English texts are exact, blanks and accelerator marks included.
constexpr TextRow kTable[kMessageCount] = {
    {{u"KV410 Test Tools V0470", u"KV410测试工具程式 V0470", u"KV410測試工具程式 V0470"}},  // 0 Caption
    {{u"Open communication port error!", u"开启通讯阜错误!", u"開啟通訊阜錯誤!"}},  // 1 OpenPortError
    {{u"Start connect device", u"连线装置", u"連線裝置"}},  // 2 StartConnectDevice
    {{u"&Language", u"语言(&Language)", u"語言(&Language)"}},  // 3 MenuLanguage
    {{u"&File", u"档案(&F)", u"檔案(&F)"}},  // 4 MenuFile
    {{u"&Setup", u"设定(&S)", u"設定(&S)"}},  // 5 MenuSetup
    {{u"About", u"关于", u"關於"}},  // 6 About
    {{u"&About", u"关于(&A)", u"關於(&A)"}},  // 7 MenuAbout
    {{u"E&xit", u"离开(&x)", u"離開(&x)"}},  // 8 MenuExit
    {{u"&English", u"&Simplified chinese(简体)", u"&Traditional chinese(繁體)"}},  // 9 MenuLanguageItem
    {{u"COM", u"串列", u"串列"}},  // 10 PageCom
    {{u"NET", u"网路", u"網路"}},  // 11 PageNet
    {{u"Speed:", u"速率:", u"速率:"}},  // 12 Speed
    {{u"Port:", u"连接阜:", u"連接阜:"}},  // 13 Port
    {{u"Test card", u"测试卡", u"測試卡"}},  // 14 TestCard
    {{u"&Firmware file", u"韧体档案(&F)", u"韌體檔案(&F)"}},  // 15 MenuFirmwareFile
    {{u"Connect device", u"连线装置", u"連線裝置"}},  // 16 ConnectDevice
    {{u"Connecting device ...", u"连线装置中 ...", u"連線裝置中 ..."}},  // 17 ConnectingDevice
    {{u"Connect device error!", u"连线装置错误!", u"連線裝置錯誤!"}},  // 18 ConnectDeviceError
    {{u"Connect device ok.", u"连线装置完成.", u"連線裝置完成."}},  // 19 ConnectDeviceOk
    {{u"Command ok.", u"指令完成.", u"指令完成."}},  // 20 CommandOk
    {{u"Command error!", u"指令错误!", u"指令錯誤!"}},  // 21 CommandError
    {{u"Basic test", u"基本测试", u"基本測試"}},  // 22 BasicTest
    {{u"Function test", u"功能测试", u"功能測試"}},  // 23 FunctionTest
    {{u"Command test", u"指令测试", u"指令測試"}},  // 24 CommandTest
    {{u"Firmware upgrade", u"韧体更新", u"韌體更新"}},  // 25 FirmwareUpgrade
    {{u"Cancel test", u"取消测试", u"取消測試"}},  // 26 CancelTest
    {{u"DIDO test", u"接点测试", u"接點測試"}},  // 27 DidoTest
    {{u"Pooling data test", u"读取资料测试", u"讀取資料測試"}},  // 28 PoolingDataTest
    {{u"Set factory", u"设定出厂值", u"設定出廠值"}},  // 29 SetFactory
    {{u"Set reboot", u"设定重新开机", u"設定重新開機"}},  // 30 SetReboot
    {{u"Set date and time", u"设定日期时间", u"設定日期時間"}},  // 31 SetDateAndTime
    {{u"Alarm test", u"警报测试", u"警報測試"}},  // 32 AlarmTest
    {{u"Controller command test", u"控制器指令测试", u"控制器指令測試"}},  // 33 ControllerCommandTest
    {{u"Module command test", u"模组指令测试", u"模組指令測試"}},  // 34 ModuleCommandTest
    {{u"Command test", u"指令测试", u"指令測試"}},  // 35 TestCommand
    {{u"Send command:", u"发送指令:", u"發送指令:"}},  // 36 SendCommand
    {{u"Receive data:", u"接收资料:", u"接收資料:"}},  // 37 ReceiveData
    {{u"Type:", u"机型:", u"機型:"}},  // 38 Type
    {{u"Firmware load", u"韧体载入", u"韌體載入"}},  // 39 FirmwareLoad
    {{u"Programming ...", u"烧录载入中 ...", u"燒錄載入中 ..."}},  // 40 Programming
    {{u"Verifying ...", u"检查中 ...", u"檢查中 ..."}},  // 41 Verifying
    {{u"Upgrading ...", u"更新中 ...", u"更新中 ..."}},  // 42 Upgrading
    {{u"Load firmware file error!", u"载入韧体档案错误!", u"載入韌體檔案錯誤!"}},  // 43 LoadFirmwareFileError
    {{u"Firmware file format model error!", u"韧体档案格式机型错误!", u"韌體檔案格式機型錯誤!"}},  // 44 FirmwareFileModelError
    {{u"Note !", u"注意!", u"注意!"}},  // 45 Note
    {{u"Upgrading the firmware of the Product will lost some data on the Product. To ensure data security, it is recommended that you back up your data before update.", u"注意：更新产品韧体会影响产品上的部分资料，为确保资料安全，建议您在更新韧体前先备份您的资料。", u"注意：更新產品韌體會影響產品上的部分資料，為確保資料安全，建議您在更新韌體前先備份您的資料。"}},  // 46 FirmwareNote
    {{u"This tool support: KV410 serial controller .", u"本软体支援: KV410系列控制器。", u"本軟體支援: KV410系列控制器。"}},  // 47 AboutText
};

}  // namespace

QString Msg(MsgId id, Language language) {
    const int row = static_cast<int>(id);
    const int column = LanguageIndex(language);
    if (row < 0 || row >= kMessageCount || column < 0 || column >= kLanguageCount) return {};
    return QString::fromUtf16(kTable[row].text[column]);
}

}  // namespace pb
