/* tolvik: the page model for C (C11), and through it for any language's C
 * FFI. Plain structs filled from a page's bytes by plain functions: nothing
 * is allocated, nothing is kept between calls, nothing outside the bytes
 * given is read (bytes past `size` read as zero, like a short file), every
 * byte value parses. Each call parses the page anew, on the stack: about
 * 4 KiB for tolvik_parse_page, 7 KiB for tolvik_list_fields, 16 KiB and the
 * check's own for tolvik_check_page. Link the static library libtolvik.a:
 * it needs the C library only.
 *
 *     struct tolvik_page_info info;
 *     if (tolvik_parse_page(bytes, size, &info) != TOLVIK_LAYOUT_NONE)
 *       printf("%s %s: %" PRIu32 " bytes per page\n", info.manufacturer, info.model,
 *              info.data_bytes_per_page);
 */
#ifndef TOLVIK_C_H
#define TOLVIK_C_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum tolvik_layout { TOLVIK_LAYOUT_NONE = 0, TOLVIK_LAYOUT_ONFI = 1, TOLVIK_LAYOUT_JEDEC = 2 };

/* What a page says of itself, the same members for both layouts. Without a
 * layout every member is zero. */
struct tolvik_page_info {
  int layout;        /* enum tolvik_layout */
  uint16_t revision; /* the revision word: one bit per revision the page claims */
  uint16_t crc_stored;
  uint16_t crc_computed; /* over the bytes the stored CRC covers */
  bool crc_ok;
  char manufacturer[13]; /* without the padding spaces, NUL-terminated */
  char model[21];
  uint8_t jedec_id; /* ONFI: byte 64; JEDEC: the first ID byte (64) */
  uint32_t data_bytes_per_page;
  uint32_t spare_bytes_per_page;
  uint32_t pages_per_block;
  uint32_t blocks_per_lun;
  uint8_t luns;
  uint8_t bits_per_cell;
  /* As stored. ONFI: 255 says the figure is in the extended parameter page.
   * JEDEC: that of ECC information block 0. */
  uint8_t ecc_bits;
  /* Maximum program, erase and read times and the minimum change column
   * setup time. JEDEC pages: the stored number; the JEDEC sources do not
   * give its unit. */
  uint32_t t_prog_us;
  uint32_t t_bers_us;
  uint32_t t_r_us;
  uint32_t t_ccs_ns;
  /* Data bytes per page x pages per block x blocks per LUN x LUNs, exact;
   * 0 when it passes 2^64. */
  uint64_t data_bytes_per_device;
  /* The block endurance mantissa x 10^exponent, exact; 0 when it passes
   * 2^64. JEDEC: that of ECC information block 0. */
  uint64_t endurance_cycles;
};

/* Returns the layout the signature names ("JESD" first, then "ONFI") and
 * fills *info (when not NULL). NULL bytes read as no bytes. */
int tolvik_parse_page(const uint8_t *bytes, size_t size, struct tolvik_page_info *info);

/* How a field's bytes read (the C++ FieldKind). */
enum tolvik_field_kind {
  TOLVIK_KIND_SIGNATURE = 0,      /* the layout's four letters */
  TOLVIK_KIND_TEXT = 1,           /* ASCII padded with spaces */
  TOLVIK_KIND_NUMBER = 2,         /* little-endian, value scaled to its unit */
  TOLVIK_KIND_FLAGS = 3,          /* a bit field */
  TOLVIK_KIND_REVISION = 4,       /* one bit per revision */
  TOLVIK_KIND_MODES = 5,          /* timing modes: bit n set, mode n supported */
  TOLVIK_KIND_ADDRESS_CYCLES = 6, /* bits 0-3 row, 4-7 column address cycles */
  TOLVIK_KIND_WARMUP_CYCLES = 7,  /* bits 0-3 data output, 4-7 data input */
  TOLVIK_KIND_PLANE_BITS = 8,     /* value: plane address bits (2^value planes) */
  TOLVIK_KIND_CELL_BITS = 9,      /* bits per cell */
  TOLVIK_KIND_DATE = 10,          /* year within the century, then work week */
  TOLVIK_KIND_ENDURANCE = 11,     /* value: cycles, mantissa x 10^exponent */
  TOLVIK_KIND_ECC_BITS = 12,      /* 255: the figure is in the extended page */
  TOLVIK_KIND_CODEWORD_SIZE = 13, /* 2^value bytes */
  TOLVIK_KIND_MAKER_ID = 14,      /* the JEDEC manufacturer ID's first byte */
  TOLVIK_KIND_CRC = 15,           /* a stored CRC-16 */
  TOLVIK_KIND_RESERVED = 16,      /* value: 1 when not all zero */
  TOLVIK_KIND_VENDOR = 17         /* bytes whose meaning no source documents */
};

/* The unit of a TOLVIK_KIND_NUMBER value (the C++ Unit). */
enum tolvik_unit {
  TOLVIK_UNIT_NONE = 0, /* a count or a code */
  TOLVIK_UNIT_BYTES = 1,
  TOLVIK_UNIT_MICROSECONDS = 2,
  TOLVIK_UNIT_NANOSECONDS = 3,
  TOLVIK_UNIT_PICOFARADS = 4,
  TOLVIK_UNIT_TENTH_PICOFARADS = 5, /* stored in tenths of a picofarad */
  TOLVIK_UNIT_TENTHS = 6,           /* tenths of a unit no source names */
  TOLVIK_UNIT_ADDRESS = 7           /* a feature address */
};

/* One field of a page. */
struct tolvik_field {
  const char *name; /* the standard's name; static, NUL-terminated */
  const char *key;  /* its name in the JSON document ("" for reserved bytes) */
  uint64_t value;   /* in its natural unit (see the kinds) */
  uint32_t raw;     /* the field's first four bytes, little-endian */
  uint16_t first;   /* its first and last byte in the page */
  uint16_t last;
  uint8_t kind; /* enum tolvik_field_kind */
  uint8_t unit; /* enum tolvik_unit */
  bool defined; /* the revision the page claims defines the field */
  bool exact;   /* false: the value passed 2^64 and reads 0 */
};

/* Room for every field of a page, and for every finding of the check. */
enum { TOLVIK_FIELDS_MAX = 128, TOLVIK_FINDINGS_MAX = 64 };

/* Every field of the page in byte order, the vendor block's fields where
 * the maker documents them: each byte of the page lies in exactly one.
 * Writes the first `capacity` into fields[] and returns how many there are
 * (0 without a layout). */
size_t tolvik_list_fields(const uint8_t *bytes, size_t size, struct tolvik_field *fields, size_t capacity);

enum tolvik_severity { TOLVIK_SEVERITY_FAILURE = 0, TOLVIK_SEVERITY_WARNING = 1 };

/* One finding of the check. */
struct tolvik_finding {
  uint8_t severity; /* enum tolvik_severity */
  bool has_range;   /* first and last name the bytes it is about */
  uint16_t first;
  uint16_t last;
  char rule[32]; /* "crc", "reserved", ...; NUL-terminated */
  char message[160];
};

struct tolvik_check_counts {
  uint32_t findings; /* all of them, also those past the capacity */
  uint32_t failures;
  uint32_t warnings;
};

/* The check of a page: conformance failures first, then plausibility
 * warnings; bytes without either signature give the failure "no-page".
 * Writes the first `capacity` findings into findings[]. */
struct tolvik_check_counts tolvik_check_page(const uint8_t *bytes, size_t size,
                                             struct tolvik_finding *findings, size_t capacity);

/* The library's version text ("v0.17"). */
const char *tolvik_version(void);

#ifdef __cplusplus
}
#endif

#endif /* TOLVIK_C_H */
