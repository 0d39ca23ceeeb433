/* Compiled as C: hands the C compiler's view of the boundary records to the C++ tests. */
#include "record_field_table.h"

const RecordField* recordFieldsSeenByC(size_t* count) {
    *count = KIV_COUNT_OF(kRecordFields);
    return kRecordFields;
}

const RecordSize* recordSizesSeenByC(size_t* count) {
    *count = KIV_COUNT_OF(kRecordSizes);
    return kRecordSizes;
}
