#include "CommView.h"

#include "Dialogs.h"

void CommView::reportMessage(LinkMessage kind, const QString& text, const QString& caption)
{
    dialogs().message(dialogParent(), text, caption,
                      kind == LinkMessage::OpenFailed ? Dialogs::Icon::Warning : Dialogs::Icon::None,
                      Dialogs::Buttons::Ok);
}

namespace {
CommView*& installed()
{
    static CommView* v = nullptr;
    return v;
}
} // namespace

CommView& commView()
{
    static CommView silent;
    return installed() ? *installed() : silent;
}

void setCommView(CommView* view)
{
    installed() = view;
}
