#pragma once

#include <QString>

// The shell's folder number for the all-users application data folder.
constexpr int CommonAppDataFolder = 35;

// The file-system path of a special folder, or the empty text when there is none.
QString SpecialFolderPath(int folder);
// True when the file's date can be read; never fails.
bool FileExists(const QString& path);

// Where the program finds its companions and its data.
struct AppPaths {
    QString programFolder;    // the folder that holds the program file
    QString commonDataFolder; // SpecialFolderPath(CommonAppDataFolder)

    static AppPaths standard();

    QString companyFolder() const;
    QString dataFolder() const;
    QString dataFile() const;
    QString customizedTemplate() const;
    QString blankTemplate() const;
    QString handCursor() const;
    QString skinFile() const;
};

// The standard data file: common application data folder + Tarnwell/Ledgerloom/dbData.mdb.
QString standardDataFile();
