#include "ConversionRun.h"

#include <gtest/gtest.h>

#include "app/CMainDlg.h"
#include "app/CConverterApp.h"
#include "res/resource.h"
#include "support/RecordingDialogUi.h"
#include "support/MemImage.h"

std::string HundredPoints() {
    MemImage image;
    for (int i = 0; i < 100; ++i) {
        const std::string n = std::to_string(i);
        image.Use(i)
            .Name(i, "\x93\x8c\x8b\x9e" + n)
            .Reading(i, "\x82\xc6\x82\xa4" + n)
            .Latitude(i, MemImage::Seconds(35, 40, 41) + static_cast<std::uint32_t>(i * 13), static_cast<std::uint8_t>(i * 7))
            .Longitude(i, MemImage::Seconds(139, 46, 13) + static_cast<std::uint32_t>(i * 17), static_cast<std::uint8_t>(i * 3))
            .Digits(i, "03" + std::to_string(10000000 + i));
    }
    return image.Bytes();
}

PressResult PressConvert(const std::string& input, const std::string& output) {
    const CConverterApp app("/opt/bin/quorvel");
    RecordingDialogUi ui;
    CMainDlg dlg(ui);
    ui.inputBox = input;
    ui.outputBox = output;
    dlg.OnCommand(IDOK);
    return {ui.log, ui.endResult};
}

int AppBoxes(const std::vector<std::string>& log) {
    int n = 0;
    for (const std::string& line : log) n += line.rfind("MessageBox quorvel ", 0) == 0 ? 1 : 0;
    return n;
}

bool Converted(const PressResult& result) {
    return result.endResult == IDOK && AppBoxes(result.log) == 0 &&
           result.log.size() >= 2 && result.log[1] == "MessageBox 終了 0x0 | 変換が終了しました。\nOKボタンを押して下さい。";
}

std::string Joined(const std::vector<std::string>& log) {
    std::string text;
    for (const std::string& line : log) text += line + " / ";
    return text;
}

ConversionFolder::ConversionFolder() : input(dir.File("route.mem")), output(dir.File("route.xml")) {
    WriteFileBytes(input, HundredPoints());
    const PressResult clean = PressConvert(input, output);
    EXPECT_TRUE(Converted(clean)) << Joined(clean.log);
    expected = ReadFileBytes(output);
    RestoreOldOutput();
}

void ConversionFolder::RestoreOldOutput() const { WriteFileBytes(output, kOld); }
