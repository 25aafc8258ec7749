#include "texts/tooltiptexts.h"

#include "platform/inistore.h"

#include "environment/errors.h"
#include "environment/ini.h"
#include "platform/files.h"
#include "platform/process.h"

#include <QAbstractButton>
#include <QHash>
#include <QLabel>
#include <QWidget>

namespace texts {

namespace {

using environment::Context;

const QString kGerman = QStringLiteral("1031");
const QString kPlaceholder = QStringLiteral("0");

// "0" and "" both stand for "no text" in the language file.
bool isNoText(const QString& text)
{
    return text.isEmpty() || text == kPlaceholder;
}

bool hasCaption(ControlKind kind)
{
    return kind == ControlKind::Label || kind == ControlKind::CommandButton || kind == ControlKind::CheckBox;
}

// How many controls carry each name. A name carried more than once is a control array; a control
// array of a single member therefore counts as an ordinary control, as it always has in the keys
// of existing language files.
QHash<QString, int> nameCounts(const ControlRegistry& controls)
{
    QHash<QString, int> counts;
    for (const Control& c : controls)
        ++counts[c.name];
    return counts;
}

// Name, then the array index of an array member (decimal, no separator), then "_" and the tag.
QString controlKey(const Control& c, bool arrayMember)
{
    QString key = c.name;
    if (arrayMember) {
        if (c.index < 0)
            environment::raise(environment::ErrInvalidCall);
        key += QString::number(c.index);
    }
    return key + QLatin1Char('_') + c.tag;
}

QWidget* widgetOf(const Control& c)
{
    if (!c.widget)
        environment::raise(environment::ErrObjectNotSet);
    return c.widget;
}

QString captionOf(const Control& c)
{
    QWidget* w = widgetOf(c);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    environment::raise(environment::ErrNoSuchMember);
}

void setCaption(const Control& c, const QString& text)
{
    QWidget* w = widgetOf(c);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else
        environment::raise(environment::ErrNoSuchMember);
}

struct Walk {
    Context& ctx;
    HelpState& help;
    const QString lang;
    const QString file;

    QString read(const QString& key) const
    {
        return environment::LoadIniString(ctx, lang, key, file);
    }
    void write(const QString& key, const QString& value) const
    {
        environment::SaveIni(ctx, value, lang, key, file);
    }

    // Caption, help text and tooltip of one control; a failure ends the control's handling.
    void apply(const Control& c, bool arrayMember) const
    {
        const QString key = controlKey(c, arrayMember);

        if (hasCaption(c.kind)) {
            const QString captionKey = QStringLiteral("Caption_") + key;
            const QString text = read(captionKey);
            if (!isNoText(text))
                setCaption(c, text);
            else if (lang != kGerman)
                write(captionKey, kPlaceholder);
            else
                write(captionKey, captionOf(c)); // the German section collects the designed captions
        }

        // A line has no help number; asking for it fails, and with it the rest of the line's handling.
        if (c.kind == ControlKind::Line)
            environment::raise(environment::ErrNoSuchMember);
        if (c.helpNumber != 0) {
            const int n = environment::checkIndex(c.helpNumber, 1, kMaxHelpNumber);
            const QString helpKey = QStringLiteral("Help%1").arg(n);
            help.HelpTexts[n] = read(helpKey);
            if (isNoText(help.HelpTexts[n]))
                write(helpKey, kPlaceholder);
        }

        if (!c.tag.toUpper().contains(QLatin1String("NOTTT"))) {
            const QString tipKey = QStringLiteral("TTT_") + key;
            const QString text = read(tipKey);
            if (!isNoText(text))
                widgetOf(c)->setToolTip(text);
            else
                write(tipKey, kPlaceholder);
        }
    }
};

} // namespace

QString languageFilePath(const Context& ctx)
{
    return platform::joinPath(ctx.process.exeFolder(), ctx.process.exeName() + QStringLiteral(".ini"));
}

QString GetLanguage(Context& ctx)
{
    environment::Handler h(ctx, QStringLiteral("GetLanguage"));
    const QString section = QStringLiteral("Language");
    QString file;
    QString code;
    h([&] {
        file = languageFilePath(ctx);
        code = environment::LoadIniString(ctx, section, section, file);
    });
    if (!code.isEmpty())
        return code;
    h([&] { environment::SaveIni(ctx, kGerman, section, section, file); });
    return kGerman;
}

void LoadToolTipTexts(Context& ctx, ControlRegistry& controls, HelpState& help)
{
    // The keys a first start adds (some three hundred) reach the file in one replacement.
    platform::IniWriteBatch batch(languageFilePath(ctx));
    const Walk walk{ctx, help, GetLanguage(ctx), languageFilePath(ctx)};
    const QHash<QString, int> counts = nameCounts(controls);
    for (const Control& c : controls) {
        try {
            walk.apply(c, counts.value(c.name) > 1);
        } catch (const environment::RunTimeError&) {
            // Cleared: only this control's remaining texts are skipped.
        } catch (const std::exception&) {
        }
    }
    // A language file that cannot be written is reported and left as it was; the window keeps the
    // texts read.
    if (!batch.commit()) {
        environment::Handler(ctx, QStringLiteral("LoadToolTipTexts"))
            .report(environment::runTimeError(environment::ErrFileAccess, languageFilePath(ctx)));
    }
}

} // namespace texts
