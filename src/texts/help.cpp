#include "texts/help.h"

#include "environment/errors.h"
#include "platform/messages.h"

#include <QCheckBox>

namespace texts {

namespace {

const QString kMarker = QStringLiteral("<CRLF>");

// The help text with every "<CRLF>" marker, in any letter case, turned into a line break. The
// marker is searched in the text itself rather than in an upper-cased copy: upper-casing can
// lengthen a text ("ß" becomes "SS") and would move every cut after it.
QString withLineBreaks(QString rest)
{
    QString result;
    for (qsizetype p = rest.indexOf(kMarker, 0, Qt::CaseInsensitive); p >= 0;
         p = rest.indexOf(kMarker, 0, Qt::CaseInsensitive)) {
        result += rest.left(p) + QStringLiteral("\r\n");
        rest = rest.mid(p + kMarker.size());
    }
    return result + rest;
}

} // namespace

void ShowHelpInfo(environment::Context& ctx, const HelpState& help, const Control& control)
{
    if (!help.HelpMode)
        return;
    // A help number outside 1..100 (0 for controls without help) leaves the text empty.
    QString text;
    if (control.helpNumber >= 1 && control.helpNumber <= kMaxHelpNumber)
        text = withLineBreaks(help.HelpTexts[control.helpNumber]);
    try {
        ctx.messages.show({text, QStringLiteral("Info:"), platform::Buttons::Ok, platform::Icon::Information});
    } catch (const std::exception&) {
        // The help display reports nothing.
    }
}

void CheckBoxHelpInfo(environment::Context& ctx, HelpState& help, const Control& checkBox)
{
    if (!help.HelpMode)
        return;
    if (help.HelpReentry) {
        // The click notification of the reset below.
        help.HelpReentry = false;
        return;
    }
    auto* box = qobject_cast<QCheckBox*>(checkBox.widget);
    if (!box)
        environment::raise(environment::ErrTypeMismatch);
    {
        // The flag lives only as long as the reset, also when the reset raises no notification
        // or fails, so that it can never swallow a later click.
        struct Reentry {
            bool& flag;
            ~Reentry() { flag = false; }
        } reentry{help.HelpReentry};
        help.HelpReentry = true;
        box->setCheckState(box->checkState() != Qt::Unchecked ? Qt::Unchecked : Qt::Checked);
    }
    ShowHelpInfo(ctx, help, checkBox);
}

} // namespace texts
