#include "framework/Dialogs.h"

#include <utility>

namespace {
TMessageBoxHandler& Handler()
{
    static TMessageBoxHandler handler;
    return handler;
}
}  // namespace

void MessageBoxShow(const std::string& text, const std::string& caption, TMsgIcon icon)
{
    if (Handler())
        Handler()(text, caption, icon);
    else
        SystemMessageBox(text, caption, icon);
}

void SetMessageBoxHandler(TMessageBoxHandler handler) { Handler() = std::move(handler); }

namespace {
TOpenPictureHandler& PictureHandler()
{
    static TOpenPictureHandler handler;
    return handler;
}
}  // namespace

bool TOpenPictureDialog::Execute(TForm* owner)
{
    if (PictureHandler()) return PictureHandler()(*this);
    return SystemOpenPicture(*this, owner);
}

void SetOpenPictureHandler(TOpenPictureHandler handler) { PictureHandler() = std::move(handler); }

std::string UnifyLineBreaks(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
            continue;
        }
        // The DirectX layer's texts break lines with a bare "\r"; the pair counts once.
        result += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return result;
}
