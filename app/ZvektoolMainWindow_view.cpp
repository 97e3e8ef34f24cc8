// Viewing and saving the Output slot's image: View opens an image view
// window on it, SaveAs writes it in the own format (in a type the user names)
// or as a common picture.
#include "ZvektoolMainWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstring>
#include <memory>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvektoolChildWindow.h"
#include "imagefile.h"

void ZVektoolMainWindow::view() {
    const int out = getRadioButtonStatus(OUTPUT);
    if (out < 0) return;
    deleteChildWindow(out);
    ZVEKHDR *image = gZVektool->images[out];
    if (image == nullptr) return;
    if (image->dtype == DT_32CMP || image->dtype == DT_64CMP) {
        zvekUi().message(tr("Complex images cannot be viewed. Use complex pull down"));
        return;
    }
    // A picture that cannot be made leaves the window black.
    auto *window = new ZVektoolChildWindow(this, imageConverter.Zvek2Qt(image, 0, 0), out);
    window->setAttribute(Qt::WA_DeleteOnClose);
    updateChildPtr(window, ADD_CHILD);
}

namespace {

// Writes image in the own format as the type typeName: converted by the
// library, or byte for byte when it already has that type. False when the
// type is unknown, the image cannot be converted (complex) or the write
// fails; nothing is written then except by a failing writer. *notRegular
// tells that the path was refused for its type.
bool writeOwnFormat(ZVEKHDR *image, const QByteArray &typeName, const QString &path, bool *notRegular) {
    ZvekSizePtr size(Zveksiz(image));
    if (!size) return false;
    ZvekImagePtr copy(Zvekcreate(typeName.constData(), size.get(), 11, image->vekbpd));
    if (!copy) return false;
    if (copy->dtype == image->dtype && copy->vekbpd == image->vekbpd) {
        const ZvekShape s = zvekShape(image);
        std::memcpy(copy->vekptr, image->vekptr,
                    static_cast<size_t>(s.pixels()) * s.frames * static_cast<size_t>(image->vekbpd));
    } else if (Zvekany2any(image, copy.get()) != 0) {
        return false;
    }
    return writeImageFile(copy.get(), path, notRegular) == -1;
}

}  // namespace

bool ZVektoolMainWindow::saveAs() {
    // The image is held across the dialogs: file-open events wait.
    CommandScope scope(this);
    const int out = getRadioButtonStatus(OUTPUT);
    ZVEKHDR *image = out >= 0 ? gZVektool->images[out] : nullptr;
    if (image == nullptr) {
        zvekUi().message(tr("No image has been stored in the buffer."));
        return false;
    }
    const QString path = zvekUi().saveFile(
        this, tr("SaveAs File"), QDir::homePath(),
        tr("Images (*.png *.xpm *.jpg *.ZVEK *.zvek *.Zvek *.zve *.Zve *.vek *.VEK)"));
    const QString suffix = QFileInfo(path).suffix();
    static const char *const ownSuffixes[] = {"ZVEK", "Zvek", "zvek", "vek", "VEK", "Zve", "zve"};
    bool own = false;
    for (const char *s : ownSuffixes) own = own || suffix == QLatin1String(s);

    if (own) {
        QString answer;
        if (!zvekUi().getText(this, tr("QInputDialog::getText()"), tr("ZVEK data type:"), "float", &answer))
            return true;
        const QByteArray typeName = answer.isEmpty() ? QByteArray("float") : answer.toLocal8Bit();
        bool notRegular = false;
        if (!writeOwnFormat(image, typeName, path, &notRegular))
            zvekUi().message(notRegular ? notRegularMessage(path) : tr("output of file to disk failed"));
        return true;
    }

    addConsoleOutput("\nsaving ");
    // A cancelled dialog names no file: nothing is written and nothing failed.
    if (path.isEmpty()) return true;
    // The frame that the slot's view window shows, when it is one of the image's.
    int frame = 0;
    if (auto *window = qobject_cast<ZVektoolChildWindow *>(childWindow(out))) {
        const ZvekShape s = zvekShape(image);
        if (window->currentFrame >= 0 && window->currentFrame < s.frames) frame = window->currentFrame;
    }
    std::unique_ptr<QImage> picture(imageConverter.Zvek2Qt(image, 0, frame));
    bool notRegular = false;
    if (!picture || !savePicture(*picture, path, &notRegular))
        zvekUi().message(notRegular ? notRegularMessage(path) : tr("output of file to disk failed"));
    return true;
}

bool ZVektoolMainWindow::save() { return true; }

bool ZVektoolMainWindow::archive() { return true; }
