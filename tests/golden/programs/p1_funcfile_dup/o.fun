dup.txt
