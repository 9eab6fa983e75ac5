#pragma once
// Message boxes.
#include <functional>
#include <string>

enum TMsgIcon { miNone, miError, miWarning, miInformation, miQuestion };

// Shows text in a modal box with an OK button; returns when the user closes it. On Linux
// with no display the text goes to standard error instead.
void MessageBoxShow(const std::string& text, const std::string& caption, TMsgIcon icon);

// Tests stand a recorder in for the real box (an empty function puts the real one back).
using TMessageBoxHandler = std::function<void(const std::string& text, const std::string& caption, TMsgIcon icon)>;
void SetMessageBoxHandler(TMessageBoxHandler handler);

// The system's own box, whatever handler stands in (the platform half of MessageBoxShow).
void SystemMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon);
// The text with every line break ("\r\n", a lone "\r" or "\n") made one '\n'.
std::string UnifyLineBreaks(const std::string& text);
