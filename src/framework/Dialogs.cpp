#include "framework/Dialogs.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "framework/FrameworkPlatform.h"

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

std::vector<TFileFilter> ParseFileFilter(const std::string& filter)
{
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<TFileFilter> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        TFileFilter entry{parts[i], {}};
        const std::string& patterns = parts[i + 1];
        for (size_t start = 0;;) {
            const size_t semicolon = patterns.find(';', start);
            std::string pattern =
                patterns.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
            if (!pattern.empty()) entry.Patterns.push_back(std::move(pattern));
            if (semicolon == std::string::npos) break;
            start = semicolon + 1;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

TRect PreviewPlace(int pictureWidth, int pictureHeight, const TRect& area)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || area.IsEmpty())
        return Rect(area.Left, area.Top, area.Left, area.Top);
    int64_t width = pictureWidth, height = pictureHeight;
    const int64_t areaWidth = area.Width(), areaHeight = area.Height();
    if (width > areaWidth || height > areaHeight) {
        // The side that overflows more sets the scale; the other is rounded to the nearest pixel.
        if (width * areaHeight >= height * areaWidth) {
            height = std::max<int64_t>(1, (height * areaWidth + width / 2) / width);
            width = areaWidth;
        } else {
            width = std::max<int64_t>(1, (width * areaHeight + height / 2) / height);
            height = areaHeight;
        }
    }
    const auto left = static_cast<int32_t>(area.Left + (areaWidth - width) / 2);
    const auto top = static_cast<int32_t>(area.Top + (areaHeight - height) / 2);
    return Rect(left, top, left + static_cast<int32_t>(width), top + static_cast<int32_t>(height));
}
