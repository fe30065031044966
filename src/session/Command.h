#pragma once

namespace feedrail {

// What an operator's command does, as far as the session is concerned.
enum class Command {
    Send,
    Receive,
    // Another machine: the port closes and reopens with its settings. Also
    // DNC Settings, whose Save does the same and whose New... adds one.
    SelectMachine,
    // Works on the editor's program: Get, Save, Renumber, Print Window.
    EditProgram,
    // A modal dialog or a printout that leaves the editor alone: Automation,
    // Print Columns, Print File.
    Dialog,
    // Shows or starts something beside the window: About, Help, the setup
    // sheet and the utilities.
    Glance,
    // Changes the files of the pane's folder (Delete): the file a transfer
    // works on may be among them.
    ChangeFiles,
};

} // namespace feedrail
