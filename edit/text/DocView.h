// How a document tells each view that shows it about changes.
#pragma once

#include "EditProtocol.h"

class DocView {
public:
    // Slot 0: after every edit primitive. `statesChanged` tells whether the
    // lexer state of the last recomputed line changed, so that the lines
    // after it must be repainted too.
    virtual void TextChanged(Position start, Position oldEnd, Position newEnd, bool statesChanged) = 0;
    // Slot 1: a file was loaded into the document.
    virtual void Reloaded() = 0;
    // Slot 2: repaint everything.
    virtual void AttributesChanged() = 0;
    // Slot 3: repaint the lines [first, last].
    virtual void RepaintLines(int first, int last) = 0;
    // Slot 4: the document is about to be destroyed.
    virtual void DocumentClosing() = 0;

protected:
    ~DocView() = default;
};
