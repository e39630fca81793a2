/* Reads the page in argv[1] through the installed library's C interface and
 * prints some of its values as the tool's report labels them. */
#include <stdio.h>
#include <tolvik_c.h>

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  uint8_t bytes[512];
  FILE *file = fopen(argv[1], "rb");
  if (file == NULL) return 1;
  const size_t size = fread(bytes, 1, sizeof bytes, file);
  fclose(file);
  struct tolvik_page_info page;
  if (tolvik_parse_page(bytes, size, &page) != TOLVIK_LAYOUT_ONFI) return 1;
  printf("Page size : %u (%u+%u)\n", (unsigned)(page.data_bytes_per_page + page.spare_bytes_per_page),
         (unsigned)page.data_bytes_per_page, (unsigned)page.spare_bytes_per_page);
  printf("Page/Block: %u\nBlock/LUN : %u\nLUN/Chip  : %u\n", (unsigned)page.pages_per_block,
         (unsigned)page.blocks_per_lun, (unsigned)page.luns);
  printf("Max tProg : %u\nMax tBers : %u\nMax tR    : %u\nMin tCCS  : %u\n", (unsigned)page.t_prog_us,
         (unsigned)page.t_bers_us, (unsigned)page.t_r_us, (unsigned)page.t_ccs_ns);
  printf("CRC16     : 0x%04X - %s\n", (unsigned)page.crc_stored, page.crc_ok ? "Ok" : "Wrong");
  return 0;
}
