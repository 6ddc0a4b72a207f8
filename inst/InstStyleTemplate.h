#pragma once

#include <QString>

namespace Inst {

// The one application style sheet, with %token% places that styleSheet() fills in.
QString styleTemplate();

}
