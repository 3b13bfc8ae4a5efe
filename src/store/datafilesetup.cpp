#include "store/datafilesetup.h"

#include "app/paths.h"
#include "app/runtimeerror.h"
#include "store/datafile.h"

#include <QDir>

namespace {
void makeFolder(const QString& path) {
    if (!QDir(path).exists() && !QDir().mkpath(path))
        throw RuntimeError(75, QStringLiteral("Path/File access error: the folder '%1' cannot be "
                                              "created.")
                                   .arg(path));
}
} // namespace

namespace DataFileSetup {

// A new account may not have its data folder yet (~/.local/share): it is made as well.
void makeCompanyFolder(const AppPaths& paths) {
    makeFolder(paths.companyFolder());
}

void makeDataFolder(const AppPaths& paths) {
    makeFolder(paths.dataFolder());
}

void copyTemplateIfMissing(const AppPaths& paths) {
    if (FileExists(paths.dataFile()))
        return;
    const QString source =
        FileExists(paths.customizedTemplate()) ? paths.customizedTemplate() : paths.blankTemplate();
    if (!FileExists(source))
        throw RuntimeError(53, QStringLiteral("File not found: neither '%1' nor '%2' exists, so "
                                              "no data file was created.")
                                   .arg(paths.customizedTemplate(), paths.blankTemplate()));
    // Only the user may read it, whatever the template's mode: it will hold every record.
    if (!copyPrivately(source, paths.dataFile()))
        throw RuntimeError(75, QStringLiteral("Path/File access error: '%1' cannot be copied to "
                                              "'%2'.")
                                   .arg(source, paths.dataFile()));
}

} // namespace DataFileSetup
