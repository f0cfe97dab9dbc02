#pragma once

// What the values of a metric chart are: it selects the axis ceiling and the value format.
enum class MetricChartKind { percent, bytes, rate };
