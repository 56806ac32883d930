#pragma once

#include <QString>

#include "contents/contents_check.h"

namespace tallyrook {

// Why a file was not compared, as both programs say it: a clause ("it could not be read"); the
// empty text for a file that was compared.
QString NotComparedText(NotComparedReason reason);

}  // namespace tallyrook
