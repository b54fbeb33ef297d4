// print.cpp: the print statement.
//
// print ( item {, item} )  where item is [ [CONTROL] ] expression.
// Each item becomes a call of a built-in output function whose result is
// dropped: putstr for strings, putnum (with the format control as its first
// argument) for numbers, putch when the control asks for a character. The
// list is bracketed by two C_PLOCK instructions.
#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "front/front.h"

namespace tavo {

// The built-in output functions, pushed by their negative numbers.
constexpr unsigned PUTCH = 0xFFFE;    // -2
constexpr unsigned PUTNUM = 0xFFF9;   // -7
constexpr unsigned PUTSTR = 0xFFF7;   // -9

constexpr int DEFAULTFORMAT = 0x050A;
constexpr int FORMAT_STRING = 0x80;   // print the item with putstr
constexpr int FORMAT_CHAR = 0x81;     // print the item with putch

// [ NAME ]: the value of a defined constant, or the default after an error.
// '[' is consumed.
static int formatcontrol() {
  int value = lexval;
  token = getlex();
  int control = DEFAULTFORMAT;
  int k = lookupK(ident);
  if (k < 0 || k >= NSYM) {
    std::string name = ident;
    error("print format control not defined [__]");
    diagnote("[__] stands for '%s', which no #constant defines", name.c_str());
  } else {
    control = value;
  }
  expect(']');
  return control;
}

// f(item): PUSHAC f, the item, CALL 1, POP.
static void printwith(unsigned function) {
  emitop(C_PUSHAC, function);
  expr(1, 0);
  emitop(C_CALL, 1);
  emit(C_POP);
}

// putnum(control, item): PUSHAC -7, PUSHC control, the item, CALL 2, POP.
// An item in parentheses ends at its closing parenthesis.
static void printnumber(int control) {
  emitop(C_PUSHAC, PUTNUM);
  emitop(C_PUSHC, static_cast<unsigned>(control));
  if (token == '(')
    pexpr();
  else
    expr(1, 0);
  emitop(C_CALL, 2);
  emit(C_POP);
}

// One item; its control applies to it alone.
static void item() {
  int control = DEFAULTFORMAT;
  if (match('[')) control = formatcontrol();
  if (control == FORMAT_STRING) {
    printwith(PUTSTR);
    return;
  }
  if (control == FORMAT_CHAR) {
    printwith(PUTCH);
    return;
  }
  switch (token) {
    case TOK_STRING:
      printwith(PUTSTR);
      break;
    case TOK_NAME: case TOK_AND: case TOK_MUL: case '(':
    case TOK_CONST: case KW_BYTE: case KW_WORD: case KW_DWORD:
      printnumber(control);
      break;
    default:
      error("illegal within PRINT statement");
      break;
  }
}

// Compiles the statement; 'print' is consumed.
void VM_Print() {
  expect('(');
  emit(C_PLOCK);
  if (match(')')) {
    error("print has no parameters");
    return;
  }
  do item();
  while (match(','));
  emit(C_PLOCK);
  expect(')');
}

}  // namespace tavo
