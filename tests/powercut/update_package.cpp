#include "tests/powercut/update_package.h"

namespace powercut {

namespace {

const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kInstall[] = "\\ResidentFlash\\Hailnet\\";

// A list as a vendor writes one: comments, both separators, nested folders
// made before the copies into them, an old file and an old folder removed,
// and a pause for the closed application to let go of its files.
const char kPatchList[] =
    "# Update 2.3.0 for the call application\r\n"
    "KILL(Hailtrack)\r\n"
    "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
    "MKDIR(\\ResidentFlash\\Hailnet\\Map\\Korea)\r\n"
    "MKDIR(/ResidentFlash/Hailnet/Sound)\r\n"
    "CP(Map/Korea/road.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(Map\\Korea\\poi.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(Sound/voice.wav)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(lock.dll)(\\ResidentFlash\\Hailnet)\r\n"
    "RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n"
    "RMDIR(\\ResidentFlash\\Hailnet\\OldMap)\r\n"
    "SLEEP(500)\r\n";

// Contents of different lengths, odd and even, so that half a copy is a
// real fraction of it.
std::string Content(const std::string& name, int repeat)
{
    std::string text;
    for (int i = 0; i < repeat; ++i) {
        text += name + " block " + std::to_string(i) + "\n";
    }
    return text;
}

void Carry(Package* package, const std::string& relative, const std::string& content,
           DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    AddFile(&package->device, kPackage + relative, content, attributes);
    package->sourceOf[kInstall + relative] = kPackage + relative;
}

void Install(Package* package, const std::string& name, const std::string& content,
             DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    AddFile(&package->device, kInstall + name, content, attributes);
}

} // namespace

Package RealisticPackage()
{
    Package package;
    Tree* device = &package.device;

    // What the terminal runs today.
    for (const char* name : {"Hailnet.exe", "Hailwire.exe", "Hailfare.exe", "Hailtrack.exe"}) {
        Install(&package, name, "old " + Content(name, 40));
    }
    Install(&package, "fare-2023.tbl", Content("fare 2023", 12));
    // Someone made an installed file read-only; the package replaces it.
    Install(&package, "meter.cfg", "old " + Content("meter", 3));
    Install(&package, "OldMap\\seoul.map", Content("seoul", 30));
    Install(&package, "OldMap\\busan.map", Content("busan", 7), FILE_ATTRIBUTE_READONLY);

    // Staging folders left by earlier downloads.
    AddFile(device, "\\ResidentFlash\\Update\\part1.bin", Content("part1", 20));
    AddFile(device, "\\ResidentFlash\\Update\\part2.bin", Content("part2", 5),
            FILE_ATTRIBUTE_READONLY);
    AddFile(device, "\\ResidentFlash\\Update\\Keep\\inner.bin", Content("inner", 2));
    AddFile(device, "\\ResidentFlash\\SDIUpdate\\sdi.bin", Content("sdi", 9));
    AddFolder(device, "\\ResidentFlash\\AdtDownload");

    // The package: files its list moves into new subfolders, one read-only
    // file it moves by name, and the top-level files the bulk move takes.
    AddFile(device, std::string(kPackage) + "patch_list.txt", kPatchList);
    Carry(&package, "Map\\Korea\\road.dat", Content("road", 200));
    Carry(&package, "Map\\Korea\\poi.dat", Content("poi", 51));
    // Read-only: its copy is made, its deletion fails, and it stays behind
    // in the package's subfolder, where the bulk move never looks.
    Carry(&package, "Sound\\voice.wav", Content("voice", 77), FILE_ATTRIBUTE_READONLY);
    Carry(&package, "lock.dll", Content("lock", 13), FILE_ATTRIBUTE_READONLY);
    for (const char* name : {"Hailnet.exe", "Hailwire.exe", "Hailfare.exe"}) {
        Carry(&package, name, "new " + Content(name, 41));
    }
    Carry(&package, "fare-2024.tbl", Content("fare 2024", 12));
    Carry(&package, "meter.cfg", "new " + Content("meter", 4), FILE_ATTRIBUTE_READONLY);
    Carry(&package, "cert.pem", Content("cert", 9), FILE_ATTRIBUTE_READONLY);
    for (int i = 1; i <= 16; ++i) {
        std::string name = "lib" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".dll";
        Carry(&package, name, Content(name, i * 3));
    }
    return package;
}

namespace {

const char kRefillList[] =
    "KILL(Hailtrack)\r\n"
    "RMDIR(\\ResidentFlash\\Hailnet\\Map\\Korea)\r\n"
    "MKDIR(\\ResidentFlash\\Hailnet\\Map\\Korea)\r\n"
    "CP(Map/Korea/road.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(Map/Korea/poi.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "%s"
    "RMDIR(\\ResidentFlash\\Hailnet\\Sound)\r\n"
    "MKDIR(\\ResidentFlash\\Hailnet\\Sound)\r\n"
    "CP(Sound/voice.wav)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(Sound/beep.wav)(\\ResidentFlash\\Hailnet)\r\n"
    "RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n";
const char kFailingCopy[] = "CP(night.tbl)(\\ResidentFlash\\NoSuchFolder)\r\n";

Package Refill(bool kept)
{
    Package package;
    Tree* device = &package.device;
    Install(&package, "Hailnet.exe", "old " + Content("Hailnet.exe", 30));
    Install(&package, "fare-2023.tbl", Content("fare 2023", 12));
    Install(&package, "Map\\Korea\\road.dat", "old " + Content("road", 150));
    Install(&package, "Map\\Korea\\old.dat", Content("old", 20));
    Install(&package, "Sound\\voice.wav", "old " + Content("voice", 60), FILE_ATTRIBUTE_READONLY);
    Install(&package, "Sound\\beep.wav", "old " + Content("beep", 9), FILE_ATTRIBUTE_READONLY);

    std::string list = kRefillList;
    list.replace(list.find("%s"), 2, kept ? kFailingCopy : "");
    AddFile(device, std::string(kPackage) + "patch_list.txt", list);
    Carry(&package, "Map\\Korea\\road.dat", "new " + Content("road", 160));
    Carry(&package, "Map\\Korea\\poi.dat", Content("poi", 33));
    // Read-only in the package too: copied, but never deleted from it.
    Carry(&package, "Sound\\voice.wav", "new " + Content("voice", 61), FILE_ATTRIBUTE_READONLY);
    Carry(&package, "Sound\\beep.wav", "new " + Content("beep", 10));
    if (kept) {
        // A kept package moves nothing in bulk: these stay where they are.
        AddFile(device, std::string(kPackage) + "night.tbl", Content("night", 5));
        AddFile(device, std::string(kPackage) + "Hailnet.exe", "new " + Content("Hailnet.exe", 31));
    } else {
        Carry(&package, "Hailnet.exe", "new " + Content("Hailnet.exe", 31));
    }
    return package;
}

} // namespace

Package RefillPackage()
{
    return Refill(false);
}

Package CardCleaningPackage()
{
    Package package = Refill(false);
    std::string& list = package.device.at(std::string(kPackage) + "patch_list.txt").content;
    // After the map's copies: the card's own top level goes, photos and all.
    size_t after = list.find("RMDIR(\\ResidentFlash\\Hailnet\\Sound)");
    list.insert(after, "RMDIR(\\SDMMC)\r\n");
    for (int i = 0; i < 40; ++i) {
        AddFile(&package.device, "\\SDMMC\\photo" + std::to_string(i) + ".jpg", Content("photo", i + 1));
    }
    return package;
}

Package KeptRefillPackage()
{
    return Refill(true);
}

Package RefillWithCardRecordFolders()
{
    Package package = Refill(false);
    for (const char* slot : {"a", "b"}) {
        AddFile(&package.device, std::string("\\SDMMC\\AirUpdate.resume-") + slot + "\\keep.txt",
                Content("keep", 2));
    }
    return package;
}

Package RefillWithRecordPathBlocked()
{
    Package package = Refill(false);
    AddFile(&package.device, std::string(kInstall) + "update.resume-a\\keep.txt", Content("keep", 2));
    package.sourceOf.clear();
    return package;
}

} // namespace powercut
