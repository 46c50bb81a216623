// A scripted user in place of the dialogs and message boxes: it answers every question from
// its script and records what it is asked and told, and, when it is given a way to see it,
// which cursor was showing at each question.
#pragma once

#include "app/user_interface.h"

#include <functional>
#include <string>
#include <vector>

namespace tav::test {

using Message = UserMessage;

class ScriptedUser : public UserInterface {
public:
    std::string fileAnswer;
    std::string folderAnswer;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<std::string> folderTitles;
    std::vector<Message> messages;
    // The cursor's shape at each question, when cursorNow is set.
    std::function<int()> cursorNow;
    std::vector<int> cursors;

    std::string ShowFileDialog(const FileDialogRequest& request) override
    {
        noteCursor();
        fileDialogs.push_back(request);
        return fileAnswer;
    }
    std::string BrowseForFolder(const std::string& title) override
    {
        noteCursor();
        folderTitles.push_back(title);
        return folderAnswer;
    }
    void showMessage(const UserMessage& message) override
    {
        noteCursor();
        messages.push_back(message);
    }

private:
    void noteCursor()
    {
        if (cursorNow)
            cursors.push_back(cursorNow());
    }
};

}  // namespace tav::test
