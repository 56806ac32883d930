#include "contents/contents_texts.h"

namespace tallyrook {

QString NotComparedText(NotComparedReason reason) {
    switch (reason) {
        case NotComparedReason::None:
            return {};
        case NotComparedReason::Unreadable:
            return QStringLiteral("it could not be read");
        case NotComparedReason::Vanished:
            return QStringLiteral("it is no longer there");
        case NotComparedReason::Changed:
            return QStringLiteral("it changed since it was listed");
        case NotComparedReason::NotAFile:
            return QStringLiteral("it is no longer a plain file");
        case NotComparedReason::SameFile:
            return QStringLiteral("another path in the list names this very file");
        case NotComparedReason::Stopped:
            return QStringLiteral("the comparison was stopped before it got there");
    }
    return {};
}

}  // namespace tallyrook
