#include "ModelProfile.h"

#include <QStringList>

namespace {

struct Product {
    const char* name;
    ModelProfile profile;
};

//                                      camera ND     storage phantom offSpeed formats
constexpr ModelProfile studioBasic     {true,  false, false,  false,  false,   false};
constexpr ModelProfile studioPro       {true,  true,  false,  true,   false,   false};
constexpr ModelProfile cinemaWithoutNd {true,  false, true,   true,   true,    true};
constexpr ModelProfile cinema          {true,  true,  true,   true,   true,    true};

// Studio cameras record nothing themselves and take their format from the switcher; the
// small ones have neither an ND wheel nor XLR inputs. Cinema cameras record to their own
// media; the smaller bodies have no internal ND filters.
const Product products[] = {
    {"Micro Studio Camera 4K G2", studioBasic},
    {"Studio Camera 4K Plus", studioBasic},
    {"Studio Camera 4K Plus G2", studioBasic},
    {"Studio Camera 4K Pro", studioPro},
    {"Studio Camera 4K Pro G2", studioPro},
    {"Studio Camera 6K Pro", studioPro},
    {"Pocket Cinema Camera 4K", cinemaWithoutNd},
    {"Pocket Cinema Camera 6K", cinemaWithoutNd},
    {"Pocket Cinema Camera 6K G2", cinemaWithoutNd},
    {"Pocket Cinema Camera 6K Pro", cinema},
    {"URSA Mini Pro 4.6K G2", cinema},
    {"URSA Mini Pro 12K", cinema},
    {"URSA Mini Pro 12K OLPF", cinema},
    {"URSA Cine 12K LF", cinema},
    {"URSA Broadcast G2", cinema},
    {"PYXIS 6K", cinemaWithoutNd},
};

// Recorders, switchers, converters and the like also speak the REST API, for their own things.
const char* const otherProductFamilies[] = {
    "HyperDeck", "ATEM", "Web Presenter", "Video Assist", "Teranex", "UltraStudio", "DeckLink",
    "Streaming", "Videohub", "Smart Videohub", "MultiView", "Cloud", "Mini Converter", "Micro Converter",
};

} // namespace

ModelProfile ModelProfile::forProduct(const QString& productName)
{
    QString name = productName.trimmed();
    if (name.startsWith(QLatin1String("Blackmagic ")))
        name = name.mid(11);
    for (const char* family : otherProductFamilies) {
        if (name.startsWith(QLatin1String(family)))
            return ModelProfile{false, false, false, false, false, false};
    }
    for (const Product& product : products) {
        if (name == QLatin1String(product.name))
            return product.profile;
    }
    return ModelProfile{};
}
