f.txt
