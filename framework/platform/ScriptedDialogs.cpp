#include <cstdio>
#include <fstream>

#include "framework/platform/DialogBackends.h"

namespace {

const char* replyText(DialogReply reply) {
    return reply == DialogReply::Ok ? "OK" : "Cancel";
}

const char* kindText(ScriptedDialogs::Answer::Kind kind) {
    switch (kind) {
        case ScriptedDialogs::Answer::Ok:
            return "ok";
        case ScriptedDialogs::Answer::Cancel:
            return "cancel";
        case ScriptedDialogs::Answer::Text:
            return "text";
        case ScriptedDialogs::Answer::File:
            return "file";
    }
    return "?";
}

}  // namespace

bool ScriptedDialogs::parse(const std::string& line, Answer& answer) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const std::size_t blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : text.substr(blank + 1);
    if (word == "ok" || word == "yes") {
        answer = {Answer::Ok, ""};
    } else if (word == "cancel" || word == "no") {
        answer = {Answer::Cancel, ""};
    } else if (word == "text") {
        answer = {Answer::Text, rest};
    } else if (word == "file" && !rest.empty()) {
        answer = {Answer::File, rest};
    } else {
        return false;
    }
    return blank == std::string::npos || answer.kind == Answer::Text || answer.kind == Answer::File;
}

bool ScriptedDialogs::load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot be read";
        return false;
    }
    std::vector<Answer> loaded;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#' || line == "\r") continue;
        Answer answer;
        if (!parse(line, answer)) {
            error = "line " + std::to_string(number) + " is no answer: " + line;
            return false;
        }
        loaded.push_back(answer);
    }
    answers.insert(answers.end(), loaded.begin(), loaded.end());
    return true;
}

bool ScriptedDialogs::next(const Asked& question, std::initializer_list<Answer::Kind> wanted,
                           Answer& answer) {
    if (answers.empty()) {
        std::fprintf(stderr, "tarnwell: no scripted answer left for the dialog \"%s\"; answered Cancel\n",
                     question.title.c_str());
        return false;
    }
    answer = answers.front();
    answers.pop_front();
    for (Answer::Kind kind : wanted) {
        if (answer.kind == kind) return true;
    }
    std::fprintf(stderr,
                 "tarnwell: the scripted answer \"%s\" does not fit the dialog \"%s\"; answered Cancel\n",
                 kindText(answer.kind), question.title.c_str());
    return false;
}

DialogReply ScriptedDialogs::record(Asked question, DialogReply reply, const std::string& answer) {
    if (echo) {
        std::fprintf(stderr, "dialog \"%s\": %s -> %s%s%s\n", question.title.c_str(), question.text.c_str(),
                     replyText(reply), answer.empty() ? "" : " ", answer.c_str());
    }
    question.reply = reply;
    asked.push_back(std::move(question));
    return reply;
}

DialogReply ScriptedDialogs::message(const std::string& title, const std::string& text, bool withCancel) {
    Asked question{withCancel ? Asked::Question : Asked::Message, title, text, "", {}, DialogReply::Ok};
    if (!withCancel) return record(question, DialogReply::Ok, "");
    Answer answer;
    const bool ok = next(question, {Answer::Ok, Answer::Cancel}, answer) && answer.kind == Answer::Ok;
    return record(question, ok ? DialogReply::Ok : DialogReply::Cancel, "");
}

DialogReply ScriptedDialogs::input(const std::string& title, const std::string& prompt, std::string& text) {
    Asked question{Asked::Input, title, prompt, text, {}, DialogReply::Cancel};
    Answer answer;
    if (!next(question, {Answer::Ok, Answer::Cancel, Answer::Text}, answer) || answer.kind == Answer::Cancel)
        return record(question, DialogReply::Cancel, "");
    if (answer.kind == Answer::Text) text = answer.value;
    return record(question, DialogReply::Ok, text);
}

DialogReply ScriptedDialogs::choose(const ChooserRequest& request, std::string& path) {
    Asked question{Asked::Chooser, request.title, request.folder, "", request, DialogReply::Cancel};
    Answer answer;
    if (!next(question, {Answer::File, Answer::Cancel}, answer) || answer.kind == Answer::Cancel)
        return record(question, DialogReply::Cancel, "");
    path = answer.value;
    return record(question, DialogReply::Ok, path);
}
