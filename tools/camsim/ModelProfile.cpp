#include "ModelProfile.h"

#include <QStringList>

namespace {

ModelProfile profile(bool nd, bool storage, bool phantom, bool offSpeed, bool format)
{
    ModelProfile p;
    p.hasNdFilter = nd;
    p.hasStorage = storage;
    p.hasPhantomPower = phantom;
    p.hasOffSpeed = offSpeed;
    p.canChangeFormat = format;
    return p;
}

bool isOtherDeviceFamily(const QString& productName)
{
    static const QStringList words = {
        QStringLiteral("HyperDeck"), QStringLiteral("Web Presenter"), QStringLiteral("ATEM"),
        QStringLiteral("Video Assist"), QStringLiteral("Cloud"), QStringLiteral("Converter"),
        QStringLiteral("Teranex"), QStringLiteral("UltraStudio"), QStringLiteral("DeckLink"),
        QStringLiteral("MultiView"), QStringLiteral("Smart Video"), QStringLiteral("Streaming"),
        QStringLiteral("Duplicator"), QStringLiteral("Videohub"),
    };
    for (const QString& word : words) {
        if (productName.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

ModelProfile ModelProfile::forProduct(const QString& name)
{
    ModelProfile p;
    if (name.contains(QLatin1String("Micro Studio Camera 4K")))
        p = profile(false, false, false, false, false);
    else if (name.contains(QLatin1String("Studio Camera 4K Plus")))
        p = profile(false, false, false, false, false);
    else if (name.contains(QLatin1String("Studio Camera 4K Pro")))
        p = profile(true, false, true, false, false);
    else if (name.contains(QLatin1String("Studio Camera 6K")))
        p = profile(true, false, true, false, false);
    else if (name.contains(QLatin1String("Pocket")) && name.contains(QLatin1String("4K")))
        p = profile(false, true, true, true, true);
    else if (name.contains(QLatin1String("Pocket")) && name.contains(QLatin1String("6K")))
        p = profile(name.contains(QLatin1String("Pro")), true, true, true, true);
    else if (name.contains(QLatin1String("PYXIS")))
        p = profile(false, true, true, true, true);
    p.isCamera = !isOtherDeviceFamily(name);
    return p;
}
