#include "gui/x11/X11Dialogs.h"

#include <X11/Xlib.h>
#include <cairo.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/effectbase/VstRecords.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/x11/X11Internal.h"
#include "gui/x11/X11Window.h"

namespace tarnwell::gui {

namespace {

constexpr int kWidth = 380;
constexpr int kPad = 16;
constexpr int kLineHeight = 18;
constexpr int kFieldHeight = 24;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 26;
constexpr int kGap = 8;

constexpr CColor kGround{236, 236, 236, 255};
constexpr CColor kInk{0, 0, 0, 255};
constexpr CColor kEdge{140, 140, 140, 255};
constexpr CColor kFace{250, 250, 250, 255};
constexpr CColor kDefaultEdge{48, 96, 192, 255};
constexpr CColor kSelection{179, 205, 245, 255};

const CFontDesc& dialogFont() {
    static const CFontDesc font("Verdana", 13);
    return font;
}

std::function<void(const DialogShown&)>& observer() {
    static std::function<void(const DialogShown&)> current;
    return current;
}

// Lines of text no wider than width: words wrapped, line ends kept, a word longer than a line
// left whole.
std::vector<std::string> wrap(const std::string& text, double width) {
    std::vector<std::string> lines;
    {
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            const std::string paragraph = text.substr(start, end - start);
            std::string line;
            size_t at = 0;
            while (at < paragraph.size()) {
                const size_t space = std::min(paragraph.find(' ', at), paragraph.size());
                const std::string word = paragraph.substr(at, space - at);
                const std::string longer = line.empty() ? word : line + " " + word;
                if (!line.empty() && CDrawContext::measure(&dialogFont(), longer.c_str()) > width) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = longer;
                }
                at = space + 1;
            }
            lines.push_back(line);
            start = end + 1;
        }
    }
    return lines;
}

class TextLines : public CView {
public:
    TextLines(const CRect& rect, std::vector<std::string> text) : CView(rect), lines(std::move(text)) {}
    void draw(CDrawContext* context) override {
        context->setFont(&dialogFont());
        context->setFontColor(kInk);
        for (size_t i = 0; i < lines.size(); ++i) {
            const CCoord top = size.top + static_cast<CCoord>(i) * kLineHeight;
            context->drawString(lines[i].c_str(), CRect(size.left, top, size.right, top + kLineHeight),
                                kLeftText);
        }
    }
    std::vector<std::string> lines;
};

// One editable line; the caret and the selection's other end (anchor) are byte offsets at
// character boundaries. It opens with the whole text selected, so typing replaces it.
class EditLine : public CView {
public:
    EditLine(const CRect& rect, std::string start)
        : CView(rect), text(std::move(start)), caret(text.size()), anchor(0) {}

    void draw(CDrawContext* context) override {
        context->setFillColor(kWhiteCColor);
        context->fillRect(size);
        context->setFrameColor(kEdge);
        context->drawRect(size);
        context->setFont(&dialogFont());
        context->setFontColor(kInk);
        // A line longer than the field shows its end.
        const CRect inner(size.left + 4, size.top, size.right - 4, size.bottom);
        const auto widthTo = [&](size_t at) { return context->getStringWidth(text.substr(0, at).c_str()); };
        const double before = widthTo(caret);
        const double shift = std::max(0.0, before - (inner.getWidth() - 2));
        const CRect moved(inner.left - static_cast<CCoord>(shift), inner.top, inner.right + 4000,
                          inner.bottom);
        const auto xAt = [&](double width) { return moved.left + static_cast<CCoord>(width + 0.5); };
        cairo_t* cr = context->cairo();
        cairo_save(cr);
        cairo_rectangle(cr, inner.left, inner.top, inner.getWidth(), inner.getHeight());
        cairo_clip(cr);
        if (anchor != caret) {
            context->setFillColor(kSelection);
            context->fillRect(CRect(xAt(widthTo(std::min(anchor, caret))), size.top + 3,
                                    xAt(widthTo(std::max(anchor, caret))), size.bottom - 3));
        }
        context->drawString(text.c_str(), moved, kLeftText);
        const CCoord x = xAt(before);
        context->setFrameColor(kInk);
        context->moveTo(CPoint(x, size.top + 4));
        context->lineTo(CPoint(x, size.bottom - 5));
        cairo_restore(cr);
    }

    void key(const VstKeyCode& key) {
        const auto previous = [this](size_t at) {
            do --at;
            while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
            return at;
        };
        const auto next = [this](size_t at) {
            do ++at;
            while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
            return at;
        };
        const bool extend = (key.modifier & MODIFIER_SHIFT) != 0;
        const bool selection = anchor != caret;
        const size_t from = std::min(anchor, caret), to = std::max(anchor, caret);
        // Moves the caret; with shift the selection grows or shrinks with it, else it goes.
        const auto moveTo = [&](size_t at) {
            caret = at;
            if (!extend) anchor = at;
        };
        const auto erase = [&](size_t begin, size_t end) {
            text.erase(begin, end - begin);
            caret = anchor = begin;
        };
        switch (key.virt) {
            case VKEY_BACK:
                if (selection)
                    erase(from, to);
                else if (caret > 0)
                    erase(previous(caret), caret);
                break;
            case VKEY_DELETE:
                if (selection)
                    erase(from, to);
                else if (caret < text.size())
                    erase(caret, next(caret));
                break;
            case VKEY_LEFT:
                moveTo(selection && !extend ? from : caret > 0 ? previous(caret) : 0);
                break;
            case VKEY_RIGHT:
                moveTo(selection && !extend ? to : caret < text.size() ? next(caret) : caret);
                break;
            case VKEY_HOME:
                moveTo(0);
                break;
            case VKEY_END:
                moveTo(text.size());
                break;
            case 0:
                if (key.modifier & MODIFIER_CONTROL) {
                    if (key.character == 'a') {
                        anchor = 0;
                        caret = text.size();
                    }
                } else if (key.character >= 32) {
                    // Latin-1 from the keyboard, kept as UTF-8; it replaces the selection.
                    char typed[2];
                    size_t length = 1;
                    if (key.character < 0x80) {
                        typed[0] = static_cast<char>(key.character);
                    } else {
                        typed[0] = static_cast<char>(0xC0 | (key.character >> 6));
                        typed[1] = static_cast<char>(0x80 | (key.character & 0x3F));
                        length = 2;
                    }
                    erase(from, to);
                    text.insert(caret, typed, length);
                    caret = anchor = caret + length;
                }
                break;
            default:
                break;
        }
        setDirty();
    }

    std::string text;
    size_t caret;
    size_t anchor;
};

class Button : public CView {
public:
    Button(const CRect& rect, const char* text, bool isDefault, std::function<void()> pressed)
        : CView(rect), caption(text), emphasised(isDefault), action(std::move(pressed)) {}
    void draw(CDrawContext* context) override {
        context->setFillColor(kFace);
        context->fillRect(size);
        context->setFrameColor(emphasised ? kDefaultEdge : kEdge);
        context->setLineWidth(emphasised ? 2 : 1);
        context->drawRect(size);
        context->setLineWidth(1);
        context->setFont(&dialogFont());
        context->setFontColor(kInk);
        context->drawString(caption, size, kCenterText);
    }
    CMouseEventResult onMouseDown(CPoint&, const long& buttons) override {
        return (buttons & kLButton) ? kMouseEventHandled : kMouseEventNotHandled;
    }
    CMouseEventResult onMouseUp(CPoint& where, const long&) override {
        if (size.pointInside(where)) action();  // released over the button
        return kMouseEventHandled;
    }
    const char* caption;
    bool emphasised;
    std::function<void()> action;
};

// The window's ground, under everything else.
class Ground : public CView {
public:
    using CView::CView;
    void draw(CDrawContext* context) override {
        context->setFillColor(kGround);
        context->fillRect(size);
    }
};

enum class Answer { Pending, Ok, Cancel };

// The dialog's frame: Enter and Escape answer, other keys edit the line.
class DialogFrame : public CFrame {
public:
    DialogFrame(const CRect& area, Window& window, Answer& result)
        : CFrame(area, static_cast<ParentView*>(&window), nullptr), answer(result) {}
    long onKeyDown(VstKeyCode& key) override {
        if (key.virt == VKEY_RETURN || key.virt == VKEY_ENTER)
            answer = Answer::Ok;
        else if (key.virt == VKEY_ESCAPE)
            answer = Answer::Cancel;
        else if (line)
            line->key(key);
        return 1;
    }
    Answer& answer;
    EditLine* line = nullptr;
};

// Shows one dialog and waits for its answer; edited receives the line's text (input only).
DialogReply run(const std::string& title, const std::string& text, bool withCancel, std::string* edited) {
    if (!displayAvailable()) return DialogReply::NotServed;
    const std::vector<std::string> lines = wrap(text, kWidth - 2 * kPad);
    const int textHeight = static_cast<int>(lines.size()) * kLineHeight;
    const int fieldTop = kPad + textHeight + kGap;
    const int buttonsTop = (edited ? fieldTop + kFieldHeight : kPad + textHeight) + kPad;
    const int height = buttonsTop + kButtonHeight + kPad;

    Answer answer = Answer::Pending;
    Window window(kWidth, height, title);
    window.onCloseRequest([&] { answer = Answer::Cancel; });
    auto* frame = new DialogFrame(CRect(0, 0, kWidth, height), window, answer);
    frame->addView(new Ground(CRect(0, 0, kWidth, height)));
    frame->addView(new TextLines(CRect(kPad, kPad, kWidth - kPad, kPad + textHeight), lines));
    if (edited) {
        frame->line = new EditLine(CRect(kPad, fieldTop, kWidth - kPad, fieldTop + kFieldHeight), *edited);
        frame->addView(frame->line);
    }
    const CRect okArea(kWidth - kPad - kButtonWidth, buttonsTop, kWidth - kPad, buttonsTop + kButtonHeight);
    CRect cancelArea;
    frame->addView(new Button(okArea, "OK", true, [&] { answer = Answer::Ok; }));
    if (withCancel) {
        cancelArea = okArea;
        cancelArea.offset(-kButtonWidth - kGap, 0);
        frame->addView(new Button(cancelArea, "Cancel", false, [&] { answer = Answer::Cancel; }));
    }
    window.center();
    window.show();
    frame->doIdleStuff();
    Display* d = x11::display();
    XSetInputFocus(d, window.id(), RevertToParent, CurrentTime);
    {
        x11::ModalScope modal({window.id()});
        if (observer()) {
            const auto onScreen = [&](CRect r) {
                int x = 0, y = 0;
                ::Window child;
                XTranslateCoordinates(d, window.id(), DefaultRootWindow(d), r.left, r.top, &x, &y, &child);
                return r.moveTo(x, y);
            };
            observer()({window.id(), onScreen(okArea), withCancel ? onScreen(cancelArea) : CRect()});
        }
        RunLoop::runUntil([&] {
            frame->doIdleStuff();
            return answer != Answer::Pending;
        });
    }
    if (edited && answer == Answer::Ok) *edited = frame->line->text;
    frame->forget();
    window.hide();
    // An OK-only message is answered however it was dismissed.
    return answer == Answer::Ok || !withCancel ? DialogReply::Ok : DialogReply::Cancel;
}

}  // namespace

DialogReply WindowDialogs::message(const std::string& title, const std::string& text, bool withCancel) {
    return run(title, text, withCancel, nullptr);
}

DialogReply WindowDialogs::input(const std::string& title, const std::string& prompt, std::string& text) {
    return run(title, prompt, true, &text);
}

void installWindowDialogs() {
    static WindowDialogs dialogs;
    setWindowDialogBackend(&dialogs);
}

void observeDialogs(std::function<void(const DialogShown&)> o) {
    observer() = std::move(o);
}

}  // namespace tarnwell::gui
