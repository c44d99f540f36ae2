// ui/modmanagerapp.h - the application object: starts the toolkit and runs the main dialog
// modally; the program ends when the dialog closes.
#pragma once

#include <QIcon>

class SaveList;

class ModManagerApp {
public:
    // The program's name, as message boxes show it in their caption.
    static constexpr const char* applicationName = "Tarvex";

    ModManagerApp() = default;
    ModManagerApp(const ModManagerApp&) = delete;
    ModManagerApp& operator=(const ModManagerApp&) = delete;

    // Starts the toolkit, then InitInstance; the program's exit status.
    int run(int argc, char** argv, SaveList& saves);
    // Runs the main dialog over the saves until it closes; always false, so the program ends.
    bool InitInstance(SaveList& saves);

    // The application icon built into the program.
    static QIcon icon();
};
