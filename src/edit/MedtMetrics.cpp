#include "edit/MedtMetrics.h"

const MedtMetrics& MedtMetrics::shared() {
    static const MedtMetrics metrics{12, 24, 48};
    return metrics;
}
