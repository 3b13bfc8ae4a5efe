#pragma once

struct AppPaths;

// What start-up does before the data file is opened, without a window: a new account gets its
// data folders, and a missing data file becomes a copy of the template beside the program.
// Each step raises a run-time error naming the path when it cannot be done.
namespace DataFileSetup {
void makeCompanyFolder(const AppPaths& paths);
void makeDataFolder(const AppPaths& paths);
// An existing data file is never replaced or examined.
void copyTemplateIfMissing(const AppPaths& paths);
} // namespace DataFileSetup
