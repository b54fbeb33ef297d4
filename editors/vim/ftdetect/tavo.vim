" Tavo programs: the compiler's fixed source name, and *.tavo.
autocmd BufRead,BufNewFile o.src,*.tavo setfiletype tavo
