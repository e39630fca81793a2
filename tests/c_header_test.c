/* tolvik_c.h as a C11 program sees it (built -std=c11 -pedantic, warnings as
 * errors), and what the C interface says of sample pages: the values their
 * reference files and reports state.
 *
 * Use: tolvik_c_test SAMPLES_DIR */
#include <stdio.h>
#include <string.h>

#include "tolvik_c.h"

/* Every member of the record, in one line. */
static void describe(const struct tolvik_page_info *p, char *out, size_t size) {
  snprintf(out, size,
           "layout=%d revision=0x%x crc=%04X/%04X/%d %s|%s id=0x%x page=%lu+%lu block=%lu lun=%lu luns=%u "
           "cell=%u ecc=%u times=%lu/%lu/%lu/%lu device=%llu endurance=%llu",
           p->layout, p->revision, p->crc_stored, p->crc_computed, p->crc_ok, p->manufacturer, p->model,
           p->jedec_id, (unsigned long)p->data_bytes_per_page, (unsigned long)p->spare_bytes_per_page,
           (unsigned long)p->pages_per_block, (unsigned long)p->blocks_per_lun, p->luns, p->bits_per_cell,
           p->ecc_bits, (unsigned long)p->t_prog_us, (unsigned long)p->t_bers_us, (unsigned long)p->t_r_us,
           (unsigned long)p->t_ccs_ns, (unsigned long long)p->data_bytes_per_device,
           (unsigned long long)p->endurance_cycles);
}

static const char *const kSamples[][2] = {
    {"mt29f32g08abcdbj4.onfi.bin",
     "layout=1 revision=0x7e crc=8A63/8A63/1 MICRON|MT29F32G08ABCDBJ4 id=0x2c page=16384+1216 block=256 "
     "lun=1048 luns=1 cell=1 ecc=255 times=660/8000/45/200 device=4395630592 endurance=60000"},
    {"mt29f1g08abbda3w.onfi.bin",
     "layout=1 revision=0x2 crc=0936/0936/1 MICRON|MT29F1G08ABBDA3W id=0x2c page=2048+64 block=64 lun=1024 "
     "luns=1 cell=1 ecc=4 times=600/3000/25/100 device=134217728 endurance=100000"},
    {"tv256g08mdt4b.jedec.bin",
     "layout=2 revision=0x6 crc=4977/4977/1 TOLVIKSEMI|TV256G08MDT4-B id=0xa7 page=16384+1952 block=256 "
     "lun=2116 luns=4 cell=2 ecc=40 times=1350/10000/78/300 device=35500589056 endurance=3000"},
    /* Without a signature every member is zero. */
    {"mt29f32g08abcdbj4.onfi-dump.all.level0.txt",
     "layout=0 revision=0x0 crc=0000/0000/0 | id=0x0 page=0+0 block=0 lun=0 luns=0 cell=0 ecc=0 "
     "times=0/0/0/0 device=0 endurance=0"},
};

int main(int argc, char **argv) {
  int failures = 0;
  for (size_t i = 0; argc > 1 && i < sizeof kSamples / sizeof kSamples[0]; ++i) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", argv[1], kSamples[i][0]);
    uint8_t bytes[512];
    FILE *file = fopen(path, "rb");
    const size_t size = file != NULL ? fread(bytes, 1, sizeof bytes, file) : 0;
    if (file != NULL) fclose(file);

    struct tolvik_page_info info;
    memset(&info, 0xA5, sizeof info);
    const int layout = tolvik_parse_page(bytes, size, &info);
    char got[512];
    describe(&info, got, sizeof got);
    /* The fields follow each other byte after byte to the page's end. */
    struct tolvik_field fields[TOLVIK_FIELDS_MAX];
    const size_t count = tolvik_list_fields(bytes, size, fields, TOLVIK_FIELDS_MAX);
    unsigned next = 0;
    for (size_t f = 0; f < count && fields[f].first == next; ++f) next = fields[f].last + 1U;
    const unsigned end = layout == TOLVIK_LAYOUT_NONE ? 0 : layout == TOLVIK_LAYOUT_ONFI ? 256 : 512;
    if (size == 0 || layout != info.layout || strcmp(got, kSamples[i][1]) != 0 || next != end) {
      printf("%s (%zu bytes, fields to byte %u):\n  %s\nnot\n  %s\n", path, size, next, got, kSamples[i][1]);
      ++failures;
    }
  }
  printf("%s: %d failures\n", tolvik_version(), failures);
  return argc > 1 && failures == 0 ? 0 : 1;
}
