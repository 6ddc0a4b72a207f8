#include "ModelProfile.h"

#include "CameraApi.h"

// The simulated families follow the model table the program itself uses, so a simulated
// camera refuses exactly the features the panels expect it to lack.
ModelProfile ModelProfile::forProduct(const QString& name)
{
    ModelProfile p;
    static_cast<CameraCapabilities&>(p) = CameraCapabilities::fromModel(name);
    p.isCamera = CameraApi::productLooksLikeCamera(name);
    return p;
}
