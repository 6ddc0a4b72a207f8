#include "ModelProfile.h"

#include "CameraApi.h"
#include "CameraCapabilities.h"

// The simulated families follow the model table the program itself uses, so a simulated
// camera refuses exactly the features the panels expect it to lack.
ModelProfile ModelProfile::forProduct(const QString& name)
{
    const CameraCapabilities capabilities = CameraCapabilities::fromModel(name);
    ModelProfile p;
    p.hasNdFilter = capabilities.hasNdFilter;
    p.hasStorage = capabilities.hasStorage;
    p.hasPhantomPower = capabilities.hasPhantomPower;
    p.hasOffSpeed = capabilities.hasOffSpeed;
    p.canChangeFormat = capabilities.canChangeFormat;
    p.isCamera = CameraApi::productLooksLikeCamera(name);
    return p;
}
