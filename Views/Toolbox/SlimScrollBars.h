#pragma once

class QAbstractScrollArea;

// Gives a scroll area's bars a slim, arrowless look: a rounded grey thumb on a clear track.
void useSlimScrollBars(QAbstractScrollArea* area);
