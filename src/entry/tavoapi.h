/* tavoapi.h: the compiler as a library of calls, compiling from memory.
 *
 * tavo_compile takes the files of a compilation as bytes and gives back, as
 * bytes, every file that the same compilation would leave in a directory,
 * with its diagnostics and an index of the names the program defines and
 * uses. It opens no file and never looks at or changes the working
 * directory. The compiler keeps its state in global tables, so one
 * compilation runs at a time: concurrent callers wait on a lock. Each call
 * starts from the state the library had when it was loaded.
 *
 * Strings given back are NUL-terminated and live until tavo_free. Lines and
 * columns count from 1, columns in bytes (a CR before an LF not counted),
 * as the compiler's messages count them.
 */
#ifndef TAVOAPI_H
#define TAVOAPI_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A file: its path relative to the compilation's folder, and its bytes. */
typedef struct tavo_file {
  const char* name;
  const char* data;
  size_t size;
} tavo_file;

typedef struct tavo_input {
  const char* source; /* "o.src"; NULL when there is none */
  size_t source_size;
  int has_fun;     /* whether "o.fun" exists */
  const char* fun; /* its bytes */
  size_t fun_size;
  const tavo_file* function_files; /* the files under "Include/", by name there */
  size_t function_file_count;
  int dev_tvo; /* whether "dev.tvo" exists: listing and HEX file */
} tavo_input;

/* An error line of "o.err", a line there that counts no error, a warning
 * about what compiles but is likely a mistake (no line of "o.err"), and one
 * that only tells (a library has no main). */
enum tavo_diagnostic_kind { TAVO_ERROR = 0, TAVO_WARNING = 1, TAVO_LINT = 2, TAVO_LINT_NOTE = 3 };

typedef struct tavo_diagnostic {
  int kind;            /* tavo_diagnostic_kind */
  const char* message; /* as "o.err" has it, without position */
  const char* file;    /* "o.src", or the function file being read */
  int line, col;       /* 0 when the report names none */
  int pass;            /* 1 or 2; 0 before the passes */
  const char* note;    /* what a number in the message means, or "" */
  const char* name;    /* a lint's name ("unused-local"), or "" */
} tavo_diagnostic;

enum tavo_name_kind {
  TAVO_FUNCTION,
  TAVO_ARGUMENT,
  TAVO_LOCAL,
  TAVO_GLOBAL,
  TAVO_CONSTANT,
  TAVO_MACRO,
  TAVO_TABLE,
  TAVO_LABEL,
  TAVO_PLATFORM
};

typedef struct tavo_definition {
  int kind; /* tavo_name_kind */
  const char* name;
  const char* file;             /* "" for a built-in platform function */
  int line, col;                /* of the name where it is defined; 0 if built in */
  int scope;                    /* the function (definition index) owning an argument,
                                   local or label; -1 for the others */
  int value;                    /* function, global, table, label: its address;
                                   constant: its value; platform function: its number;
                                   argument, local: its index */
  int size;                     /* global: cells of an array (0: scalar); table: bytes */
  int args;                     /* function, platform function: argument count */
  int returns;                  /* function, platform function: 1 if it returns a value */
  int token_kind;               /* constant: 0x2001 number, 0x2002 string, 0x2000 name;
                                   table: 212 byte, 213 word, 214 dword */
  const char* text;             /* constant, macro, table: its text */
  const char* const* arg_names; /* function, platform function */
  size_t arg_name_count;
} tavo_definition;

typedef struct tavo_use {
  int definition; /* index of the definition it names */
  const char* file;
  int line, col;     /* of the name's first character */
  int length;        /* bytes of the name */
  int is_definition; /* 1 where the name is defined */
} tavo_use;

typedef struct tavo_result tavo_result;

/* Compiles; NULL only when memory ran out or this system cannot compile
 * from memory. A NULL in is a folder with no file at all. */
tavo_result* tavo_compile(const tavo_input* in);
void tavo_free(tavo_result* r);

/* The files the compilation left, in name order. A file that is not there
 * is absent. tavo_output_named gives NULL for an absent file. */
size_t tavo_output_count(const tavo_result* r);
const tavo_file* tavo_output(const tavo_result* r, size_t i);
const tavo_file* tavo_output_named(const tavo_result* r, const char* name);

int tavo_error_count(const tavo_result* r); /* 0 or 1 */
size_t tavo_diagnostic_count(const tavo_result* r);
const tavo_diagnostic* tavo_diagnostic_at(const tavo_result* r, size_t i);

size_t tavo_definition_count(const tavo_result* r);
const tavo_definition* tavo_definition_at(const tavo_result* r, size_t i);
size_t tavo_use_count(const tavo_result* r); /* in file order, then line, column */
const tavo_use* tavo_use_at(const tavo_result* r, size_t i);

#ifdef __cplusplus
}
#endif

#endif
