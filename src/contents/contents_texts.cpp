#include "contents/contents_texts.h"

#include <QCoreApplication>

namespace tallyrook {

QString NotComparedText(NotComparedReason reason) {
    switch (reason) {
        case NotComparedReason::None:
            return {};
        case NotComparedReason::Unreadable:
            return QCoreApplication::translate("ContentsTexts", "it could not be read");
        case NotComparedReason::Vanished:
            return QCoreApplication::translate("ContentsTexts", "it is no longer there");
        case NotComparedReason::Changed:
            return QCoreApplication::translate("ContentsTexts", "it changed since it was listed");
        case NotComparedReason::NotAFile:
            return QCoreApplication::translate("ContentsTexts", "it is no longer a plain file");
        case NotComparedReason::SameFile:
            return QCoreApplication::translate("ContentsTexts",
                                               "another path in the list names this very file");
        case NotComparedReason::Stopped:
            return QCoreApplication::translate("ContentsTexts",
                                               "the comparison was stopped before it got there");
    }
    return {};
}

}  // namespace tallyrook
