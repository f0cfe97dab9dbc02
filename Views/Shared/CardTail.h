#pragma once

// The tail of a glass card: a soft point on the card's leading (left) or trailing (right) edge
// that reaches `length` beyond it, centred `y` below the card's top and `halfHeight` tall on
// each side of that centre. A card without a tail behaves as one with length 0.
struct CardTail {
    enum class Edge { leading, trailing };

    Edge edge = Edge::leading;
    double y = 0;
    double length = 0;
    double halfHeight = 0;

    bool operator==(const CardTail&) const = default;
};
