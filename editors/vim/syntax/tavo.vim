" Vim syntax file for Tavo.
if exists('b:current_syntax')
  finish
endif

syntax keyword tavoConditional if else endif
syntax keyword tavoRepeat while wend repeat until forever
syntax keyword tavoStatement return break continue goto gosub endsub endfunc
syntax keyword tavoType var object byte word dword
syntax keyword tavoFunc func
syntax keyword tavoKeyword print lookup8 lookup16 inherit platform include constant optimize CONST DATA END STACK
syntax keyword tavoBuiltin serin putch serout setbaud to pause putnum translate putstr

syntax match tavoDirective "^\s*#\s*\(constant\|CONST\|DATA\|END\|STACK\|inherit\|optimize\|platform\|include\)\>"
syntax match tavoMacro "\$.*$" contained
syntax match tavoMacroLine "^\s*#\s*constant\s\+\w\+\s*\$.*$" contains=tavoDirective,tavoMacro

" Numbers: after the first digit, x (after a 0 only) is hexadecimal and b binary.
syntax match tavoNumber "\<0x\x*"
syntax match tavoNumber "\<\d\(b[01]*\|\d*\)"

syntax match tavoEscape "\\." contained
syntax region tavoString start=+"+ end=+"\|$+ contains=tavoEscape oneline
syntax region tavoCharacter start=+'+ end=+'\|$+ contains=tavoEscape oneline

syntax match tavoLabel "^\s*\h\w*\s*:\ze\([^=]\|$\)"
syntax match tavoFunctionName "\(\<func\s\+\)\@<=\h\w*"

syntax keyword tavoTodo TODO FIXME XXX contained
syntax match tavoComment "//.*$" contains=tavoTodo
syntax region tavoComment start="/\*" end="\*/" contains=tavoTodo

highlight default link tavoConditional Conditional
highlight default link tavoRepeat Repeat
highlight default link tavoStatement Statement
highlight default link tavoType Type
highlight default link tavoFunc Keyword
highlight default link tavoKeyword Keyword
highlight default link tavoBuiltin Function
highlight default link tavoDirective PreProc
highlight default link tavoMacro Macro
highlight default link tavoNumber Number
highlight default link tavoString String
highlight default link tavoCharacter Character
highlight default link tavoEscape SpecialChar
highlight default link tavoLabel Label
highlight default link tavoFunctionName Function
highlight default link tavoComment Comment
highlight default link tavoTodo Todo

let b:current_syntax = 'tavo'
