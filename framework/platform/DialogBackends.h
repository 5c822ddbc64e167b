#pragma once

// The back ends behind Dialogs.h that this layer provides itself. dialogs() picks among them;
// they are public so that tests and programs can drive one directly.

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/platform/Dialogs.h"

// Answers from a queue, one per dialog that needs an answer, and a record of what was asked.
//
// Answers, one per line in a script file (blank lines and lines starting with '#' are skipped):
//   ok | yes          OK; an input dialog keeps its start text
//   cancel | no       Cancel, for any dialog
//   text ANSWER       an input dialog's OK with ANSWER (the rest of the line, blanks included)
//   file PATH         a chooser's answer (the rest of the line)
// OK-only messages take no answer. An answer of the wrong kind, or none left, is a script fault:
// it is reported on standard error and the dialog answers Cancel.
class ScriptedDialogs : public DialogBackend {
public:
    struct Answer {
        enum Kind { Ok, Cancel, Text, File } kind = Cancel;
        std::string value;
    };
    struct Asked {
        enum Kind { Message, Question, Input, Chooser } kind = Message;
        std::string title;
        std::string text;  // the message, or the input's prompt
        std::string startText;
        ChooserRequest request;
        DialogReply reply = DialogReply::Cancel;
    };

    // Parses one script line; false for a line that is no answer.
    static bool parse(const std::string& line, Answer& answer);
    // Appends the file's answers; false (and the line at fault in error) when the file cannot
    // be read or holds a line that is no answer, in which case nothing is appended.
    bool load(const std::string& path, std::string& error);
    void push(Answer answer) { answers.push_back(std::move(answer)); }
    std::size_t remaining() const { return answers.size(); }

    std::vector<Asked> asked;
    bool echo = false;  // write each dialog and its answer to standard error

    DialogReply message(const std::string& title, const std::string& text, bool withCancel) override;
    DialogReply input(const std::string& title, const std::string& prompt, std::string& text) override;
    DialogReply choose(const ChooserRequest& request, std::string& path) override;

private:
    // The next answer when it is of one of the wanted kinds; otherwise a reported fault.
    bool next(const Asked& question, std::initializer_list<Answer::Kind> wanted, Answer& answer);
    DialogReply record(Asked question, DialogReply reply, const std::string& answer);
    std::deque<Answer> answers;
};

// Prompts on a terminal: the text and the buttons, a line typed for an input, a path typed for
// a chooser. End of input (Ctrl-D) cancels. inFd and outFd are the terminal's descriptors.
class TerminalDialogs : public DialogBackend {
public:
    TerminalDialogs(int inFd, int outFd) : in(inFd), out(outFd) {}
    // Standard input and output, when both are a terminal.
    static bool available();

    DialogReply message(const std::string& title, const std::string& text, bool withCancel) override;
    DialogReply input(const std::string& title, const std::string& prompt, std::string& text) override;
    DialogReply choose(const ChooserRequest& request, std::string& path) override;

private:
    void write(const std::string& text) const;
    bool readLine(std::string& line) const;      // false at end of input
    int yes(const std::string& question) const;  // 1 yes, 0 no, -1 end of input
    int in, out;
};

// The desktop's file chooser run as a child process with an argument vector (no shell):
// zenity, or kdialog (first on a KDE desktop). Choosers only, and only with a display.
class DesktopChooser : public DialogBackend {
public:
    DialogReply message(const std::string&, const std::string&, bool) override {
        return DialogReply::NotServed;
    }
    DialogReply input(const std::string&, const std::string&, std::string&) override {
        return DialogReply::NotServed;
    }
    DialogReply choose(const ChooserRequest& request, std::string& path) override;
};

// No way to ask: see Dialogs.h.
class NoDialogs : public DialogBackend {
public:
    DialogReply message(const std::string& title, const std::string& text, bool withCancel) override;
    DialogReply input(const std::string& title, const std::string& prompt, std::string& text) override;
    DialogReply choose(const ChooserRequest& request, std::string& path) override;
};

// The longest prefix of text of at most maxBytes bytes that does not split a UTF-8 character.
std::string cutAtCharacter(const std::string& text, std::size_t maxBytes);
